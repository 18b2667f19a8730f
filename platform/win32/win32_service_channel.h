// ServiceConnector and ServiceChannel over the service's named pipe: the window's end, opened so
// that the service may learn who the client is but never act as it, and only where the pipe is
// the service's own.
#pragma once

#include <windows.h>

#include <memory>

#include "platform/service_channel.h"
#include "platform/win32/unique_handle.h"

namespace velmora {

class Win32ServiceChannel : public ServiceChannel {
public:
    // Takes the open pipe and begins to read from it.
    explicit Win32ServiceChannel(HANDLE pipe);
    ~Win32ServiceChannel() override;
    Win32ServiceChannel(const Win32ServiceChannel&) = delete;
    Win32ServiceChannel& operator=(const Win32ServiceChannel&) = delete;

    // A service that has not taken the bytes within a few seconds counts as gone.
    bool send(const std::vector<std::uint8_t>& bytes) override;
    std::optional<std::vector<std::uint8_t>> receive(std::uint32_t milliseconds) override;
    // The read's event: set while a read has completed and not been taken, and for good once the
    // pipe broke; a read is always under way otherwise, so the event is clear while nothing waits.
    std::uintptr_t readyHandle() const override { return reinterpret_cast<std::uintptr_t>(readEvent_.get()); }

private:
    // Starts the next read; false once the pipe is broken.
    bool arm();
    // Marks the pipe broken for good, its waiters woken.
    void breakDown();

    UniqueHandle pipe_;
    UniqueHandle readEvent_;
    UniqueHandle writeEvent_;
    OVERLAPPED read_ = {};
    unsigned char buffer_[4096] = {};
    bool reading_ = false;  // a read is under way or completed and not yet taken
    bool broken_ = false;
};

class Win32ServiceConnector : public ServiceConnector {
public:
    std::unique_ptr<ServiceChannel> connect() override;
};

}  // namespace velmora
