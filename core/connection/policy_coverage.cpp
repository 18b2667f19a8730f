#include "core/connection/policy_coverage.h"

#include "core/ipsec/policy_store.h"
#include "core/profile/validation.h"

namespace velmora {

namespace {

constexpr const char* kPolicyNotReapplied = "IPSec策略没有重新设置成功，当前连接不受IPSec保护。\n\n原因：";
constexpr const char* kNoAddress =
    "无法得知当前连接获得的IP地址，IPSec策略无法针对它设置，当前连接不受IPSec保护。请停止后重新连接。";
constexpr const char* kDomainPolicy =
    "本计算机由域的组策略指派了IPSec策略，它优先于本程序设置的IPSec策略，因此本程序的IPSec保护不会生效。"
    "如需使用本程序的IPSec保护，请联系网络管理员。";
constexpr const char* kConnectionSecurityRules =
    "本计算机由域的组策略设置了连接安全规则（高级安全 Windows 防火墙），它们与本程序的IPSec策略同时生效，"
    "可能影响隧道的IPSec协商。如果连接后无法访问远端内网，请联系网络管理员。";

}  // namespace

void PolicyCoverage::sessionBegins() {
    toldReapplyFailed_ = false;
    toldNoAddress_ = false;
}

std::string PolicyCoverage::linkAddress() {
    const RasHandle connection = link_.hRasConn();
    std::string address = remoteAccess_.connectionAddress(connection);
    if (!checkip(address)) {
        address = dialer_.addressFound(connection);
    }
    addressKnown_ = !address.empty();
    // Rewritten only when it differs: the link watch asks on every tick.
    if (addressKnown_ && window_.text(Control::txtlocal) != address) {
        window_.setText(Control::txtlocal, address);
    }
    showPolicyState();
    if (!addressKnown_ && !toldNoAddress_) {
        toldNoAddress_ = true;
        window_.showMessage(kNoAddress, MessageSign::error);
    }
    return address;
}

bool PolicyCoverage::coversLink(const std::string& address) {
    if (!applied_ || applied_->address != address) {
        return false;
    }
    const RasHandle connection = link_.hRasConn();
    if (applied_->connection == 0) {
        applied_->connection = connection;
    }
    return applied_->connection == connection;
}

void PolicyCoverage::applied(const std::string& address, RasHandle connection, bool succeeded) {
    applyFailed_ = !succeeded;
    // A failed apply covers nothing, so that the next look at the link tries again.
    if (succeeded) {
        applied_ = Applied{address, connection};
        withdrawalFailed_ = false;
    } else {
        applied_.reset();
    }
    showPolicyState();
}

void PolicyCoverage::tellReapplyFailed(const std::string& why) {
    if (!toldReapplyFailed_) {
        toldReapplyFailed_ = true;
        window_.showMessage(kPolicyNotReapplied + why, MessageSign::error);
    }
}

void PolicyCoverage::linkLost() {
    if (applied_ && applied_->connection != 0) {
        applied_.reset();
    }
}

void PolicyCoverage::withdrawn(bool succeeded) {
    applied_.reset();
    applyFailed_ = false;
    addressKnown_ = true;
    domainPolicy_ = false;
    withdrawalFailed_ = !succeeded;
    showPolicyState();
}

void PolicyCoverage::lookForDomainPolicy() {
    domainPolicy_ = domainIpsecPolicyAssigned(registry_);
    showPolicyState();
    if (domainPolicy_ && !toldDomainPolicy_) {
        toldDomainPolicy_ = true;
        window_.showMessage(kDomainPolicy, MessageSign::warning);
    }
    if (!toldConnectionSecurityRules_ && groupPolicyConnectionSecurityRules(registry_)) {
        toldConnectionSecurityRules_ = true;
        window_.showMessage(kConnectionSecurityRules, MessageSign::warning);
    }
}

void PolicyCoverage::showPolicyState() {
    LinkStatus::Policy policy = LinkStatus::Policy::nothingToSay;
    if (withdrawalFailed_) {
        policy = LinkStatus::Policy::notWithdrawn;
    } else if (applyFailed_ || !addressKnown_) {
        policy = LinkStatus::Policy::notInForce;
    } else if (domainPolicy_) {
        policy = LinkStatus::Policy::domainApplies;
    }
    link_.status().setPolicy(policy);
}

}  // namespace velmora
