// The settings file l2tpipsec.ini in the data folder: the window's profile is saved there by
// a Connect and loaded from there at start-up.
#pragma once

#include "core/log/connection_log.h"
#include "core/profile/check_box.h"
#include "core/profile/control_surface.h"
#include "platform/ansi_codec.h"
#include "platform/shell_folders.h"
#include "platform/text_files.h"

namespace velmora {

inline constexpr const char* kSettingsFileName = "l2tpipsec.ini";

// The click reactions of the stored check boxes, which a load runs for each box it changes.
struct CheckBoxReactions {
    ClickReaction Check1_Click;
    ClickReaction Check2_Click;
    ClickReaction Check3_Click;
    ClickReaction checkHD_Click;
};

class SettingsFile {
public:
    SettingsFile(ControlSurface& window, ShellFolders& shell, TextFiles& files, const AnsiCodec& codec,
                 ConnectionLog& log)
        : window_(window), shell_(shell), files_(files), codec_(codec), log_(log) {}

    // Replaces the file with the window's stored fields. A secret the file cannot carry is
    // stored empty and the user is told; a file that cannot be written is reported and logged.
    // Either way the window keeps what was typed, and the caller goes on. Each of these is told
    // once a run: a Connect repeated by the auto-dial would otherwise repeat it every few seconds.
    void writeConfig();

    // Loads the file into the window in line order, running a box's reaction when its value
    // changes. A missing file is reported and every field takes its fallback; a file that
    // cannot be read is reported and the window keeps its values.
    void readConfig(const CheckBoxReactions& reactions);

private:
    std::string path() const;

    ControlSurface& window_;
    ShellFolders& shell_;
    TextFiles& files_;
    const AnsiCodec& codec_;
    ConnectionLog& log_;
    bool toldNotWritten_ = false;
    bool toldPreshareUnsaved_ = false;
    bool toldPasswdUnsaved_ = false;
};

}  // namespace velmora
