#include "platform/win32/win32_service_channel.h"

#include "platform/win32/service_pipe.h"

namespace velmora {

namespace {

// How long a send may wait for the service to take the bytes: it reads at once, so a service
// that has not taken them by then hangs.
constexpr DWORD kSendWaitMs = 5000;
// How long a connect waits for the service to offer a free instance when all are taken: it
// offers the next one as soon as a client has connected.
constexpr DWORD kBusyWaitMs = 2000;

}  // namespace

Win32ServiceChannel::Win32ServiceChannel(HANDLE pipe)
    : pipe_(pipe), readEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      writeEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (readEvent_.get() == nullptr || writeEvent_.get() == nullptr) {
        broken_ = true;
        return;
    }
    (void)arm();
}

Win32ServiceChannel::~Win32ServiceChannel() {
    breakDown();
}

bool Win32ServiceChannel::arm() {
    read_ = OVERLAPPED{};
    read_.hEvent = readEvent_.get();
    if (!ReadFile(pipe_.get(), buffer_, sizeof buffer_, nullptr, &read_) && GetLastError() != ERROR_IO_PENDING) {
        breakDown();
        return false;
    }
    reading_ = true;
    return true;
}

void Win32ServiceChannel::breakDown() {
    if (reading_) {
        // The read must have ended before its record and buffer go; all I/O on the pipe is this
        // thread's, so CancelIo reaches it.
        DWORD ignored = 0;
        (void)CancelIo(pipe_.get());
        (void)GetOverlappedResult(pipe_.get(), &read_, &ignored, TRUE);
        reading_ = false;
    }
    broken_ = true;
    if (readEvent_.get() != nullptr) {
        (void)SetEvent(readEvent_.get());
    }
}

bool Win32ServiceChannel::send(const std::vector<std::uint8_t>& bytes) {
    std::size_t sent = 0;
    while (!broken_ && sent < bytes.size()) {
        OVERLAPPED write{};
        write.hEvent = writeEvent_.get();
        const DWORD size = static_cast<DWORD>(bytes.size() - sent);
        if (!WriteFile(pipe_.get(), bytes.data() + sent, size, nullptr, &write) && GetLastError() != ERROR_IO_PENDING) {
            breakDown();
            break;
        }
        DWORD written = 0;
        if (WaitForSingleObject(writeEvent_.get(), kSendWaitMs) != WAIT_OBJECT_0) {
            (void)CancelIo(pipe_.get());
            (void)GetOverlappedResult(pipe_.get(), &write, &written, TRUE);
            breakDown();
            break;
        }
        if (!GetOverlappedResult(pipe_.get(), &write, &written, FALSE)) {
            breakDown();
            break;
        }
        sent += written;
    }
    return !broken_;
}

std::optional<std::vector<std::uint8_t>> Win32ServiceChannel::receive(std::uint32_t milliseconds) {
    if (broken_) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    if (WaitForSingleObject(readEvent_.get(), milliseconds) != WAIT_OBJECT_0) {
        return bytes;
    }
    // Everything that has arrived: each completed read is taken and the next one started, until
    // one has to wait.
    do {
        DWORD got = 0;
        if (!GetOverlappedResult(pipe_.get(), &read_, &got, FALSE)) {
            reading_ = false;
            breakDown();
            break;
        }
        reading_ = false;
        bytes.insert(bytes.end(), buffer_, buffer_ + got);
    } while (arm() && WaitForSingleObject(readEvent_.get(), 0) == WAIT_OBJECT_0);
    if (broken_ && bytes.empty()) {
        return std::nullopt;
    }
    return bytes;
}

std::unique_ptr<ServiceChannel> Win32ServiceConnector::connect() {
    for (int attempt = 0;; ++attempt) {
        // Identification only: the service may learn who the client is, never act as it.
        const HANDLE pipe = CreateFileW(kServicePipeName, kServicePipeClientAccess, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                        nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            if (!pipeOwnedBySystemOrAdministrators(pipe)) {
                (void)CloseHandle(pipe);
                return nullptr;
            }
            return std::make_unique<Win32ServiceChannel>(pipe);
        }
        if (attempt > 0 || GetLastError() != ERROR_PIPE_BUSY || !WaitNamedPipeW(kServicePipeName, kBusyWaitMs)) {
            return nullptr;
        }
    }
}

}  // namespace velmora
