#include "zarncore/Repository.h"

#include <utility>

#include <boost/make_shared.hpp>

#include "host/ZARNException.h"

namespace NZARNCORE {

using NQELZARN20::ICIMClass;
using NQELZARN20::ICIMInstance;
using NQELZARN20::ICIMNamespace;
using NQELZARN20::ICIMProperty;
using NQELZARN20::TCIMContext;
using NQELZARN20::TInstanceCallback;
using NQELZARN20::TZARNException;

struct TRepository::TState {
  boost::shared_ptr<const TInventory> inventory;
  IHostObserver* observer = nullptr;
  std::size_t outstanding = 0;
};

namespace {

typedef boost::shared_ptr<TRepository::TState> TStatePtr;

// Every object handed out counts as one outstanding reference while it lives.
class TCounted {
 protected:
  explicit TCounted(TStatePtr state) : m_state(std::move(state)) { ++m_state->outstanding; }
  ~TCounted() { --m_state->outstanding; }
  TCounted(const TCounted&) = delete;
  TCounted& operator=(const TCounted&) = delete;

  const TInventory& Inventory() const { return *m_state->inventory; }
  bool Tracing() const { return m_state->observer != nullptr; }
  void Trace(const THostCall& call) const {
    if (m_state->observer != nullptr) m_state->observer->OnHostCall(call);
  }
  // Reports the call as failed with the status, then throws it.
  [[noreturn]] void Fail(THostCall call, NQELZARN20::TZARNStatusCode status) const {
    call.status = status;
    Trace(call);
    throw TZARNException(status);
  }

  TStatePtr m_state;
};

class TRepositoryProperty : public ICIMProperty, private TCounted {
 public:
  TRepositoryProperty(TStatePtr state, const TInventory::TPropertyRef& property)
      : TCounted(std::move(state)), m_property(property) {}

  // The value is made from its stored form when first asked for.
  const NQELZARN20::TCIMValue& GetValue(TCIMContext /*context*/) override {
    if (m_property.Fault() == EPropertyFault::Value) throw TZARNException(m_property.FaultStatus());
    if (!m_value) m_value = m_property.Value();
    return *m_value;
  }

 private:
  TInventory::TPropertyRef m_property;
  boost::optional<NQELZARN20::TCIMValue> m_value;
};

class TRepositoryInstance : public ICIMInstance, private TCounted {
 public:
  TRepositoryInstance(TStatePtr state, TInventory::TInstanceIndex index)
      : TCounted(std::move(state)), m_index(index) {}

  bool EnumerateAssociatedInstances(const TInstanceCallback& callback,
                                    const std::string& /*associationClass*/,
                                    const std::string& resultClass, const std::string& /*role*/,
                                    const std::string& /*resultRole*/,
                                    TCIMContext /*context*/) override {
    std::size_t delivered = 0;
    bool completed = true;
    for (const TInventory::TInstanceIndex other : Inventory().Associated(m_index)) {
      if (!resultClass.empty() && Inventory().Class(Inventory().ClassOf(other)).name != resultClass)
        continue;
      ++delivered;
      completed = callback(boost::make_shared<TRepositoryInstance>(m_state, other));
      if (!completed) break;
    }
    if (Tracing()) {
      THostCall call(THostCall::EnumerateAssociatedInstances, resultClass, Label());
      call.count = delivered;
      Trace(call);
    }
    return completed;
  }

  boost::shared_ptr<ICIMProperty> GetProperty(const std::string& name,
                                              TCIMContext /*context*/) override {
    const THostCall call(THostCall::GetProperty, std::string(), Tracing() ? Label() : std::string(),
                         name);
    const boost::optional<TInventory::TNameId> id = Inventory().FindName(name);
    const boost::optional<TInventory::TPropertyRef> property =
        id ? Inventory().FindProperty(m_index, *id) : boost::none;
    if (!property) Fail(call, NQELZARN20::kZARNStatusNotAvailable);
    if (property->Fault() == EPropertyFault::Lookup) Fail(call, property->FaultStatus());
    Trace(call);
    return boost::make_shared<TRepositoryProperty>(m_state, *property);
  }

 private:
  std::string Label() const { return Inventory().Label(m_index); }

  TInventory::TInstanceIndex m_index;
};

class TRepositoryClass : public ICIMClass, private TCounted {
 public:
  // data is null for a class the inventory does not list.
  TRepositoryClass(TStatePtr state, std::string name, const TInventory::TClass* data)
      : TCounted(std::move(state)), m_name(std::move(name)), m_data(data) {}

  const std::string& GetName(TCIMContext /*context*/) override {
    Trace(THostCall(THostCall::GetName, m_name));
    return m_name;
  }

  bool EnumerateInstances(const TInstanceCallback& callback, bool /*deep*/,
                          TCIMContext /*context*/) override {
    THostCall call(THostCall::EnumerateInstances, m_name);
    if (m_data != nullptr && m_data->fault == EClassFault::Enumerate)
      Fail(call, m_data->faultStatus);
    std::size_t delivered = 0;
    bool completed = true;
    if (m_data != nullptr) {
      for (std::size_t i = 0; i < m_data->instances.size(); ++i) {
        ++delivered;
        completed =
            callback(boost::make_shared<TRepositoryInstance>(m_state, m_data->instances[i]));
        if (!completed) break;
      }
    }
    call.count = delivered;
    Trace(call);
    return completed;
  }

 private:
  std::string m_name;
  const TInventory::TClass* m_data;
};

class TRepositoryNamespace : public ICIMNamespace, private TCounted {
 public:
  explicit TRepositoryNamespace(TStatePtr state) : TCounted(std::move(state)) {}

  boost::shared_ptr<ICIMClass> GetClass(const std::string& name, TCIMContext /*context*/) override {
    const THostCall call(THostCall::GetClass, name);
    const TInventory::TClass* data = Inventory().FindClass(name);
    if (data == nullptr) Fail(call, NQELZARN20::kZARNStatusNotAvailable);
    if (data->fault == EClassFault::Lookup) Fail(call, data->faultStatus);
    Trace(call);
    return boost::make_shared<TRepositoryClass>(m_state, name, data);
  }

  std::uint16_t OperatingSystemType() const {
    THostCall call(THostCall::GetOperatingSystemType);
    if (Inventory().OperatingSystemTypeFault()) Fail(call, *Inventory().OperatingSystemTypeFault());
    if (!Inventory().OperatingSystemType()) Fail(call, NQELZARN20::kZARNStatusNotAvailable);
    call.result = *Inventory().OperatingSystemType();
    Trace(call);
    return *call.result;
  }
};

}  // namespace

TRepository::TRepository(boost::shared_ptr<const TInventory> inventory)
    : m_state(boost::make_shared<TState>()) {
  m_state->inventory = std::move(inventory);
}

TRepository::~TRepository() = default;

void TRepository::SetCallObserver(IHostObserver* observer) { m_state->observer = observer; }

boost::shared_ptr<ICIMNamespace> TRepository::OpenNamespace() {
  return boost::make_shared<TRepositoryNamespace>(m_state);
}

boost::shared_ptr<ICIMClass> TRepository::MakeClass(const std::string& name) {
  return boost::make_shared<TRepositoryClass>(m_state, name, m_state->inventory->FindClass(name));
}

std::size_t TRepository::OutstandingReferences() const { return m_state->outstanding; }

std::uint16_t OperatingSystemTypeOf(ICIMNamespace& cimNamespace) {
  const auto* repositoryNamespace = dynamic_cast<const TRepositoryNamespace*>(&cimNamespace);
  if (repositoryNamespace == nullptr) throw TZARNException(NQELZARN20::kZARNStatusNotAvailable);
  return repositoryNamespace->OperatingSystemType();
}

}  // namespace NZARNCORE
