#include "tests/fakes/fake_control_surface.h"

#include <algorithm>

#include "core/profile/conn_profile.h"

namespace velmora::testing {

FakeControlSurface::FakeControlSurface(CipherList cipherList) {
    const ConnProfile p = designTimeProfile();
    setText(Control::txtConnName, p.txtConnName);
    setText(Control::txtpeer, p.txtpeer);
    setText(Control::txtpeermask, p.txtpeermask);
    setText(Control::txtlocal, p.txtlocal);
    setText(Control::txtpreshare, p.txtpreshare);
    setText(Control::txtServerAddress, p.txtServerAddress);
    setText(Control::txtUserName, p.txtUserName);
    setText(Control::txtPasswd, p.txtPasswd);
    setText(Control::txtpeer2, p.txtpeer2);
    setText(Control::txtpeermask2, p.txtpeermask2);
    setText(Control::txtHD, p.txtHD);
    setValue(Control::Option1, p.Option1);
    if (cipherList == CipherList::filled) {
        for (const char* suite : kCipherSuites) {
            addListItem(Control::comalg, suite);
        }
    }
}

const FakeControlSurface::State& FakeControlSurface::state(Control control) const {
    static const State untouched;
    const auto found = controls_.find(control);
    return found == controls_.end() ? untouched : found->second;
}

std::string FakeControlSurface::text(Control control) const {
    return state(control).text;
}

void FakeControlSurface::setText(Control control, const std::string& text) {
    State& s = state(control);
    if (control == Control::comalg && std::find(s.items.begin(), s.items.end(), text) == s.items.end()) {
        s.text.clear();
        return;
    }
    s.text = text;
}

int FakeControlSurface::value(Control control) const {
    return state(control).value;
}

void FakeControlSurface::setValue(Control control, int value) {
    state(control).value = value;
}

bool FakeControlSurface::enabled(Control control) const {
    return state(control).enabled;
}

void FakeControlSurface::setEnabled(Control control, bool enabled) {
    state(control).enabled = enabled;
}

bool FakeControlSurface::visible(Control control) const {
    return state(control).visible;
}

void FakeControlSurface::setVisible(Control control, bool visible) {
    state(control).visible = visible;
}

std::vector<std::string> FakeControlSurface::listItems(Control control) const {
    return state(control).items;
}

void FakeControlSurface::addListItem(Control control, const std::string& item) {
    state(control).items.push_back(item);
}

void FakeControlSurface::showMessage(const std::string& text, MessageSign sign) {
    messages.push_back(text);
    messageSigns.push_back(sign);
    if (duringMessage) {
        duringMessage(text);
    }
}

}  // namespace velmora::testing
