#include "collectors/windows/Wmi.h"

#include <memory>
#include <vector>

#include "collectors/SourceError.h"
#include "collectors/windows/WindowsSources.h"

namespace NZARNCOLLECT {

namespace {

using Microsoft::WRL::ComPtr;

const char kNoCom[] = "COM could not start: ";
const char kNoWmi[] = "WMI is not available: ";
const char kNotConnected[] = "WMI could not be reached: ";
const char kRefused[] = "WMI refused the query of ";
const char kBroken[] = "WMI could not list ";

// Objects asked for at a time.
constexpr ULONG kBatch = 64;

struct TBstrFree {
  void operator()(BSTR text) const { SysFreeString(text); }
};
using TBstr = std::unique_ptr<OLECHAR, TBstrFree>;

TBstr Bstr(const std::wstring& text) { return TBstr(SysAllocString(text.c_str())); }

// A VARIANT cleared when it goes.
struct TVariant {
  VARIANT value;
  TVariant() { VariantInit(&value); }
  ~TVariant() { VariantClear(&value); }
  TVariant(const TVariant&) = delete;
  TVariant& operator=(const TVariant&) = delete;
};

void Check(HRESULT status, const std::string& what) {
  if (FAILED(status)) throw TSourceError(what + SystemMessage(static_cast<unsigned long>(status)));
}

}  // namespace

// WMI needs the caller to identify itself: the process's security is set
// before any interface is used; a host program that set it already keeps its own.
TComSession::TComSession()
    : m_status(CoInitializeEx(nullptr, COINIT_MULTITHREADED)), m_started(SUCCEEDED(m_status)) {
  if (!m_started) return;
  const HRESULT security =
      CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                           RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  if (FAILED(security) && security != RPC_E_TOO_LATE) m_status = security;
}

TComSession::~TComSession() {
  if (m_started) CoUninitialize();
}

TWmiConnection::TWmiConnection(const TComSession& com, TDeadline collection)
    : m_collection(std::move(collection)) {
  try {
    Connect(com);
  } catch (const TSourceError& error) {
    m_failure = error.what();
  }
}

// ConnectServer waits at most two minutes for WMI with this flag.
void TWmiConnection::Connect(const TComSession& com) {
  Check(com.Status(), kNoCom);
  ComPtr<IWbemLocator> locator;
  Check(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                         reinterpret_cast<void**>(locator.GetAddressOf())),
        kNoWmi);
  const TBstr nameSpace = Bstr(L"ROOT\\CIMV2");
  Check(locator->ConnectServer(nameSpace.get(), nullptr, nullptr, nullptr,
                               WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr, nullptr,
                               m_services.GetAddressOf()),
        kNotConnected);
  Check(CoSetProxyBlanket(m_services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                          RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
        kNotConnected);
}

void TWmiConnection::Query(const std::string& name, const std::wstring& wql,
                           std::chrono::seconds limit,
                           const std::function<void(IWbemClassObject&)>& each) const {
  if (!m_failure.empty()) throw TSourceError(m_failure);
  const TDeadline deadline = m_collection.ForSource("WMI's " + name, limit);
  const TBstr language = Bstr(L"WQL");
  const TBstr query = Bstr(wql);
  ComPtr<IEnumWbemClassObject> objects;
  Check(m_services->ExecQuery(language.get(), query.get(),
                              WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                              objects.GetAddressOf()),
        kRefused + name + ": ");
  for (;;) {
    IWbemClassObject* batch[kBatch] = {};
    ULONG count = 0;
    const HRESULT status =
        objects->Next(static_cast<long>(deadline.RemainingMs()), kBatch, batch, &count);
    std::vector<ComPtr<IWbemClassObject>> owned(count);
    for (ULONG at = 0; at < count; ++at) owned[at].Attach(batch[at]);
    Check(status, kBroken + name + ": ");
    for (const ComPtr<IWbemClassObject>& object : owned) each(*object.Get());
    if (status == WBEM_S_FALSE) return;
  }
}

std::optional<std::string> TextOf(IWbemClassObject& object, const wchar_t* property) {
  TVariant value;
  if (FAILED(object.Get(property, 0, &value.value, nullptr, nullptr))) return std::nullopt;
  if (V_VT(&value.value) != VT_BSTR) return std::nullopt;
  const BSTR text = V_BSTR(&value.value);
  return text ? Utf8(std::wstring(text, SysStringLen(text))) : std::string();
}

std::optional<std::uint32_t> NumberOf(IWbemClassObject& object, const wchar_t* property) {
  TVariant value;
  TVariant number;
  if (FAILED(object.Get(property, 0, &value.value, nullptr, nullptr)) ||
      V_VT(&value.value) == VT_NULL ||
      FAILED(VariantChangeType(&number.value, &value.value, 0, VT_UI4))) {
    return std::nullopt;
  }
  return V_UI4(&number.value);
}

}  // namespace NZARNCOLLECT
