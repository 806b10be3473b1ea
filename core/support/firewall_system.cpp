// The system's firewall for CheckFirewall: Windows Defender Firewall, read
// and changed through its COM interface (INetFwPolicy2, INetFwRules), never
// by parsing netsh's output. Every call works in the calling thread's own COM
// apartment and releases what it took before it returns.

#include "support/firewall.h"

#ifdef _WIN32

// windows.h first: the COM headers need it.
// clang-format off
#include <windows.h>
#include <initguid.h>  // the firewall's class and interface ids are defined here
#include <netfw.h>
#include <oleauto.h>
// clang-format on

#include <cstdio>

#include "support/utf8.h"

namespace quillane {
namespace {

// One COM interface pointer, released when it goes.
template <class Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (m_pointer) m_pointer->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    Interface** Out() { return &m_pointer; }
    void** OutVoid() { return reinterpret_cast<void**>(&m_pointer); }
    Interface* operator->() const { return m_pointer; }
    Interface* Get() const { return m_pointer; }

private:
    Interface* m_pointer = nullptr;
};

class ComString {
public:
    ComString() = default;
    explicit ComString(const std::string& text) : m_text(SysAllocString(WideFromUtf8(text).c_str())) {}
    ~ComString() { SysFreeString(m_text); }
    ComString(const ComString&) = delete;
    ComString& operator=(const ComString&) = delete;
    BSTR* Out() { return &m_text; }
    BSTR Get() const { return m_text; }
    std::string Text() const { return m_text ? Utf8FromWide(m_text) : std::string(); }

private:
    BSTR m_text = nullptr;
};

// COM for the calling thread, for as long as this lives; a thread that has
// COM already (in either model) keeps it.
class ComApartment {
public:
    ComApartment() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(m_result)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Usable() const { return SUCCEEDED(m_result) || m_result == RPC_E_CHANGED_MODE; }

private:
    HRESULT m_result;
};

std::string Explain(const std::string& what, HRESULT result) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    if (result == E_ACCESSDENIED) return what + ": this needs administrator rights (" + code + ")";
    return what + " (error " + code + ")";
}

std::string Expanded(const std::string& path) {
    const std::wstring wide = WideFromUtf8(path);
    const DWORD length = ExpandEnvironmentStringsW(wide.c_str(), nullptr, 0);
    if (length == 0) return path;
    std::wstring expanded(length, L'\0');
    if (ExpandEnvironmentStringsW(wide.c_str(), expanded.data(), length) == 0) return path;
    expanded.resize(length - 1);
    return Utf8FromWide(expanded);
}

bool ReadRule(INetFwRule& source, FirewallRule& rule) {
    ComString name, application, ports, grouping;
    LONG protocol = 0, profiles = 0;
    NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_IN;
    NET_FW_ACTION action = NET_FW_ACTION_BLOCK;
    VARIANT_BOOL enabled = VARIANT_FALSE;
    if (FAILED(source.get_Protocol(&protocol)) || FAILED(source.get_Direction(&direction)) ||
        FAILED(source.get_Action(&action)) || FAILED(source.get_Enabled(&enabled)) ||
        FAILED(source.get_Profiles(&profiles)) || FAILED(source.get_ApplicationName(application.Out())))
        return false;
    source.get_Name(name.Out());
    source.get_Grouping(grouping.Out());
    source.get_LocalPorts(ports.Out());  // fails for protocols without ports: none given
    rule.name = name.Text();
    rule.application = Expanded(application.Text());
    rule.protocol = static_cast<int>(protocol);
    rule.inbound = direction == NET_FW_RULE_DIR_IN;
    rule.allow = action == NET_FW_ACTION_ALLOW;
    rule.enabled = enabled != VARIANT_FALSE;
    rule.profiles = static_cast<int>(profiles);
    const std::string localPorts = ports.Text();
    rule.allLocalPorts = localPorts.empty() || localPorts == "*";
    rule.grouping = grouping.Text();
    return true;
}

bool ReadRules(INetFwPolicy2& policy, std::vector<FirewallRule>& rules, std::string& why) {
    ComRef<INetFwRules> all;
    ComRef<IUnknown> enumerator;
    ComRef<IEnumVARIANT> items;
    HRESULT result = policy.get_Rules(all.Out());
    if (SUCCEEDED(result)) result = all->get__NewEnum(enumerator.Out());
    if (SUCCEEDED(result)) result = enumerator->QueryInterface(IID_IEnumVARIANT, items.OutVoid());
    if (FAILED(result)) {
        why = Explain("Windows Firewall did not list its rules", result);
        return false;
    }
    VARIANT item;
    VariantInit(&item);
    ULONG fetched = 0;
    while (items->Next(1, &item, &fetched) == S_OK && fetched == 1) {
        ComRef<INetFwRule> source;
        FirewallRule rule;
        const bool read = item.vt == VT_DISPATCH && item.pdispVal &&
                          SUCCEEDED(item.pdispVal->QueryInterface(IID_INetFwRule, source.OutVoid())) &&
                          ReadRule(*source.Get(), rule);
        VariantClear(&item);
        if (!read) {
            why = "Windows Firewall did not show one of its rules whole";
            return false;
        }
        rules.push_back(std::move(rule));
    }
    return true;
}

class WindowsFirewall : public FirewallAccess {
public:
    FirewallSnapshot Read() override {
        FirewallSnapshot snapshot;
        ComApartment apartment;
        ComRef<INetFwPolicy2> policy;
        if (!Open(apartment, policy, snapshot.why)) return snapshot;
        LONG current = 0;
        if (const HRESULT result = policy->get_CurrentProfileTypes(&current); FAILED(result)) {
            snapshot.why = Explain("Windows Firewall did not say which profiles are in force", result);
            return snapshot;
        }
        for (int profile : {kFirewallDomain, kFirewallPrivate, kFirewallPublic}) {
            if (!(current & profile)) continue;
            const auto type = static_cast<NET_FW_PROFILE_TYPE2>(profile);
            VARIANT_BOOL on = VARIANT_FALSE, blockAll = VARIANT_FALSE;
            NET_FW_ACTION inbound = NET_FW_ACTION_BLOCK;
            HRESULT result = policy->get_FirewallEnabled(type, &on);
            if (SUCCEEDED(result)) result = policy->get_BlockAllInboundTraffic(type, &blockAll);
            if (SUCCEEDED(result)) result = policy->get_DefaultInboundAction(type, &inbound);
            if (FAILED(result)) {
                snapshot.why = Explain(
                    "Windows Firewall did not show its " + FirewallProfileName(profile) + " profile", result);
                return snapshot;
            }
            snapshot.activeProfiles.push_back(
                {profile, on != VARIANT_FALSE, blockAll != VARIANT_FALSE, inbound == NET_FW_ACTION_ALLOW});
        }
        if (!ReadRules(*policy.Get(), snapshot.rules, snapshot.why)) return snapshot;
        snapshot.read = true;
        return snapshot;
    }

    bool Add(const FirewallRule& rule, std::string& why) override {
        ComApartment apartment;
        ComRef<INetFwPolicy2> policy;
        if (!Open(apartment, policy, why)) return false;
        ComRef<INetFwRule> made;
        HRESULT result =
            CoCreateInstance(CLSID_NetFwRule, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwRule, made.OutVoid());
        if (FAILED(result)) {
            why = Explain("Windows Firewall made no new rule", result);
            return false;
        }
        ComString name(rule.name), application(rule.application), grouping(rule.grouping);
        ComString description("Lets Quillane receive the devices' replies, boot requests and TFTP requests");
        made->put_Name(name.Get());
        made->put_Description(description.Get());
        made->put_ApplicationName(application.Get());
        made->put_Protocol(rule.protocol);
        made->put_Direction(rule.inbound ? NET_FW_RULE_DIR_IN : NET_FW_RULE_DIR_OUT);
        made->put_Action(rule.allow ? NET_FW_ACTION_ALLOW : NET_FW_ACTION_BLOCK);
        made->put_Enabled(rule.enabled ? VARIANT_TRUE : VARIANT_FALSE);
        made->put_Grouping(grouping.Get());
        made->put_Profiles(rule.profiles);
        ComRef<INetFwRules> rules;
        result = policy->get_Rules(rules.Out());
        if (SUCCEEDED(result)) result = rules->Add(made.Get());
        if (FAILED(result)) {
            why = Explain("Windows Firewall did not take the rule \"" + rule.name + "\"", result);
            return false;
        }
        return true;
    }

    bool Remove(const std::string& ruleName, std::string& why) override {
        ComApartment apartment;
        ComRef<INetFwPolicy2> policy;
        if (!Open(apartment, policy, why)) return false;
        ComRef<INetFwRules> rules;
        ComString name(ruleName);
        HRESULT result = policy->get_Rules(rules.Out());
        if (SUCCEEDED(result)) result = rules->Remove(name.Get());
        if (FAILED(result)) {
            why = Explain("Windows Firewall did not remove the rule \"" + ruleName + "\"", result);
            return false;
        }
        return true;
    }

private:
    static bool Open(const ComApartment& apartment, ComRef<INetFwPolicy2>& policy, std::string& why) {
        if (!apartment.Usable()) {
            why = "COM could not be started in this thread";
            return false;
        }
        const HRESULT result = CoCreateInstance(CLSID_NetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER,
                                                IID_INetFwPolicy2, policy.OutVoid());
        if (FAILED(result)) {
            why = Explain("Windows Firewall's interface is not available", result);
            return false;
        }
        return true;
    }
};

}  // namespace

std::unique_ptr<FirewallAccess> OpenSystemFirewall() {
    return std::make_unique<WindowsFirewall>();
}

}  // namespace quillane

#else

namespace quillane {

std::unique_ptr<FirewallAccess> OpenSystemFirewall() {
    return nullptr;
}

}  // namespace quillane

#endif
