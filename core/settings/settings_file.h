// The settings file l2tpipsec.ini in the program's folder of the user's local application data,
// private to the user: the window's profile is saved there by a Connect and loaded from there at
// start-up. An earlier version kept one file for everyone at the root of a drive, readable by the
// administrators alone; it is carried over once, for an administrator.
#pragma once

#include "core/log/connection_log.h"
#include "core/profile/check_box.h"
#include "core/profile/control_surface.h"
#include "core/service/operations.h"
#include "core/settings/administrator_profile.h"
#include "platform/file_operations.h"
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

    // Where the user has no settings file yet and an earlier version's lies at the root of the
    // data folder's drive, asks the operations for it (they give it to an administrator only),
    // makes it the user's own and has the earlier one removed; the log says so. files tells
    // whether the earlier one is there at all, so that nobody is asked in vain.
    void carryOverEarlierFile(Operations& operations, FileOperations& files);

    // Loads the file into the window in line order, running a box's reaction when its value
    // changes. A file that others can reach is closed to them first; one that cannot be (another
    // user's, say) is not read: it is reported and treated as missing. A missing file is reported
    // and every field takes its fallback; a file that cannot be read is reported and the window
    // keeps its values. A field the file does not hold
    // yet (its line missing or empty) takes the administrator's profile when that has a usable
    // value. A usable value set by policy then wins over both, and its fields are fixed in the
    // window. The log names each setting so filled or fixed, and each value it could not use.
    void readConfig(const CheckBoxReactions& reactions, const AdministratorSettings& administratorProfile = {},
                    const AdministratorSettings& policies = {});

    // The settings that policy fixed at the last load.
    const std::vector<std::string>& fixedByPolicy() const { return fixed_; }

private:
    std::string path() const;

    ControlSurface& window_;
    ShellFolders& shell_;
    TextFiles& files_;
    const AnsiCodec& codec_;
    ConnectionLog& log_;
    // What the user's own settings hold for the fields policy fixed: a save keeps them, so that
    // they come back once the policy goes.
    ConnProfile own_;
    std::vector<std::string> fixed_;
    bool toldNotWritten_ = false;
    bool toldPreshareUnsaved_ = false;
    bool toldPasswdUnsaved_ = false;
};

}  // namespace velmora
