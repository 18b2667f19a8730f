#include "core/settings/settings_file.h"

#include "core/profile/conn_profile.h"
#include "core/settings/settings_lines.h"
#include "core/system/data_folder.h"

namespace velmora {

namespace {

// Names each secret left out and why, so that the user knows what to change.
std::string unsavedSecretsMessage(SecretFault preshare, SecretFault passwd) {
    std::string message;
    int secrets = 0;
    const auto tell = [&](const char* secret, SecretFault fault) {
        if (fault == SecretFault::none) {
            return;
        }
        message += (secrets++ == 0 ? "" : "，") + std::string(secret);
        message += fault == SecretFault::characters ? "含有配置文件不能保存的字符（如汉字）"
                                                    : "超出了配置文件能保存的长度";
    };
    tell("预共享的密钥", preshare);
    tell("VPN密码", passwd);
    return message + (secrets > 1 ? "，都没有保存" : "，没有保存") +
           "；本次连接仍使用输入的内容，下次启动后需要重新输入。";
}

}  // namespace

std::string SettingsFile::path() const {
    const auto folder = shell_.localDataFolder();
    return folder ? *folder + "\\" + kSettingsFileName : std::string();
}

void SettingsFile::carryOverEarlierFile(Operations& operations, FileOperations& files) {
    const std::string dataFolder = getDataFolder(shell_);
    const std::string own = path();
    if (dataFolder.size() != 3 || dataFolder[0] < 'A' || dataFolder[0] > 'Z' || own.empty() ||
        !files.normalFileExists(dataFolder + kSettingsFileName) || files_.readText(own).status != ReadStatus::notFound) {
        return;
    }
    const auto lines = operations.oldSettings(dataFolder[0]);
    if (lines && files_.writeLines(own, *lines)) {
        operations.removeOldSettings(dataFolder[0]);
        log_.settingsCarriedOver(dataFolder + kSettingsFileName, own);
    }
}

void SettingsFile::writeConfig() {
    const std::string file = path();
    ConnProfile p = readProfile(window_);
    keepSettings(fixed_, own_, p);
    const SettingsLines s = composeSettings(p, codec_);
    if (!files_.writeLines(file, s.lines)) {
        if (!toldNotWritten_) {
            toldNotWritten_ = true;
            log_.settingsNotWritten(file);
            window_.showMessage("无法写入配置文件 " + file + "，本次设置没有保存！", MessageSign::error);
        }
        return;
    }
    const bool tellPreshare = s.preshareFault != SecretFault::none && !toldPreshareUnsaved_;
    const bool tellPasswd = s.passwdFault != SecretFault::none && !toldPasswdUnsaved_;
    if (tellPreshare || tellPasswd) {
        toldPreshareUnsaved_ = toldPreshareUnsaved_ || tellPreshare;
        toldPasswdUnsaved_ = toldPasswdUnsaved_ || tellPasswd;
        window_.showMessage(unsavedSecretsMessage(tellPreshare ? s.preshareFault : SecretFault::none,
                                                  tellPasswd ? s.passwdFault : SecretFault::none),
                            MessageSign::warning);
    }
}

void SettingsFile::readConfig(const CheckBoxReactions& reactions, const AdministratorSettings& administratorProfile,
                              const AdministratorSettings& policies) {
    const std::string file = path();
    const FileAccess access = files_.restrictAccess(file);
    log_.settingsFileAccess(access, file);
    // Another user's file, or one still open to others, is not taken as the user's own.
    const TextFileContents contents =
        access == FileAccess::failed ? TextFileContents{ReadStatus::notFound, {}} : files_.readText(file);
    ConnProfile p;
    bool fallbacks = false;  // nothing of the user's: the fallbacks fill the fields
    if (contents.status == ReadStatus::failed) {
        // The window keeps its values, which are then the user's own; a policy still wins.
        window_.showMessage("无法读取配置文件 " + file + "，保留当前设置！", MessageSign::error);
        p = readProfile(window_);
    } else {
        if (access == FileAccess::failed) {
            window_.showMessage("配置文件 " + file + " 可能被他人改动过，没有读取，恢复默认配置！", MessageSign::warning);
        }
        fallbacks = access != FileAccess::failed && contents.status == ReadStatus::notFound;
        const std::vector<std::string> lines = splitLines(contents.text, kSettingsLineCount);
        p = parseSettings(lines, codec_);
        const AdministratorMerge filled = fillFromAdministratorProfile(lines, administratorProfile, p);
        log_.administratorProfileUsed(filled.applied, filled.unusable);
        fallbacks = fallbacks && filled.applied.empty();
    }
    own_ = p;
    const AdministratorMerge fixed = applyPolicies(policies, p);
    fixed_ = fixed.applied;
    log_.policiesApplied(fixed.applied, fixed.unusable);
    // A first start whose fields the administrator filled is no loss to tell of.
    if (fallbacks && fixed_.empty()) {
        window_.showMessage("配置文件不存在，恢复默认配置！", MessageSign::information);
    }

    window_.setText(Control::txtConnName, p.txtConnName);
    window_.setText(Control::txtpeer, p.txtpeer);
    window_.setText(Control::txtpeermask, p.txtpeermask);
    window_.setText(Control::txtlocal, p.txtlocal);
    window_.setText(Control::txtpreshare, p.txtpreshare);
    window_.setText(Control::comalg, p.comalg);
    window_.setText(Control::txtServerAddress, p.txtServerAddress);
    window_.setText(Control::txtUserName, p.txtUserName);
    window_.setText(Control::txtPasswd, p.txtPasswd);
    setCheckValue(window_, Control::Check1, p.Check1, reactions.Check1_Click);
    setCheckValue(window_, Control::Check2, p.Check2, reactions.Check2_Click);
    window_.setVisible(Control::Check2, window_.value(Control::Check1) == kUnchecked);
    setCheckValue(window_, Control::Check3, p.Check3, reactions.Check3_Click);
    window_.setValue(Control::Option1, p.Option1);
    setCheckValue(window_, Control::checkHD, p.checkHD, reactions.checkHD_Click);
    window_.setText(Control::txtpeer2, p.txtpeer2);
    window_.setText(Control::txtpeermask2, p.txtpeermask2);
    for (const std::string& setting : fixed_) {
        for (Control control : controlsOfSetting(setting)) {
            window_.fixByAdministrator(control);
        }
    }
}

}  // namespace velmora
