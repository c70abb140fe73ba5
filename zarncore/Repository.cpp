#include "zarncore/Repository.h"

#include <algorithm>
#include <new>
#include <utility>

#include <boost/make_shared.hpp>

#include "host/ZARNException.h"
#include "zarncore/Arena.h"

namespace NZARNCORE {

using NQELZARN20::ICIMClass;
using NQELZARN20::ICIMInstance;
using NQELZARN20::ICIMNamespace;
using NQELZARN20::ICIMProperty;
using NQELZARN20::TCIMContext;
using NQELZARN20::TInstanceCallback;
using NQELZARN20::TZARNException;

namespace {

// Memory for handed-out objects: free lists of a few sizes, refilled from
// an arena. Enumerating a large class makes an object per instance, which
// the plug-in holds until it has looked at them all.
class TObjectPool {
 public:
  void* Allocate(std::size_t size) {
    const std::size_t slot = SlotOf(size);
    if (slot >= kSlots) return ::operator new(size);
    TFree*& head = m_free[slot];
    if (head == nullptr) return Carve(slot * kGrain);
    TFree* const block = head;
    head = block->next;
    return block;
  }

  void Free(void* block, std::size_t size) {
    const std::size_t slot = SlotOf(size);
    if (slot >= kSlots) return ::operator delete(block);
    m_free[slot] = new (block) TFree{m_free[slot]};
  }

  // While the result lives, the memory for the next objects is made ready
  // on another thread: for an enumeration, which may make a million.
  TArena::TFillingAhead FillingAhead() { return TArena::TFillingAhead(m_arena); }

 private:
  struct TFree {
    TFree* next;
  };
  // Host objects need no more than pointer alignment.
  static constexpr std::size_t kGrain = alignof(void*);
  static constexpr std::size_t kSlots = 33;
  // Slabs start small, as a typical inventory needs a few hundred objects
  // at once, and double up to a size that a million records wants.
  static constexpr std::size_t kFirstSlab = std::size_t(16) << 10;
  static constexpr std::size_t kLargestSlab = std::size_t(1) << 20;

  static std::size_t SlotOf(std::size_t size) { return (size + kGrain - 1) / kGrain; }

  void* Carve(std::size_t size) {
    if (static_cast<std::size_t>(m_end - m_next) < size) {
      m_next = static_cast<unsigned char*>(m_arena.Allocate(m_slab));
      m_end = m_next + m_slab;
      m_slab = std::min(m_slab * 2, kLargestSlab);
    }
    void* const block = m_next;
    m_next += size;
    return block;
  }

  TArena m_arena;
  std::size_t m_slab = kFirstSlab;
  unsigned char* m_next = nullptr;
  unsigned char* m_end = nullptr;
  TFree* m_free[kSlots] = {};
};

}  // namespace

// What the repository and every object it handed out share. It outlives the
// repository while any such object lives, as a plug-in may keep one.
struct TRepository::TState {
  boost::shared_ptr<const TInventory> inventory;
  IHostObserver* observer = nullptr;
  bool named = true;            // calls are reported with their names (ECallDetail::Full)
  std::size_t outstanding = 0;  // handed-out objects alive
  std::size_t blocks = 0;       // pool blocks in use, control blocks included
  bool orphaned = false;        // the repository is gone
  TObjectPool pool;
  // The last property names asked for, with what the inventory numbers
  // them: a check asks the same few names of every instance in turn.
  struct TRecentName {
    bool used = false;
    std::string name;
    std::optional<TInventory::TNameId> id;
  };
  TRecentName recent[4];
  std::size_t nextRecent = 0;

  void* Acquire(std::size_t size) {
    void* const block = pool.Allocate(size);
    ++blocks;
    return block;
  }
  void Release(void* block, std::size_t size) {
    pool.Free(block, size);
    if (--blocks == 0 && orphaned) delete this;
  }

  std::optional<TInventory::TNameId> NameId(const std::string& name) {
    for (const TRecentName& entry : recent) {
      if (entry.used && entry.name == name) return entry.id;
    }
    TRecentName& entry = recent[nextRecent++ % 4];
    entry = TRecentName{true, name, inventory->FindName(name)};
    return entry.id;
  }
};

namespace {

typedef TRepository::TState* TStatePtr;

// Hands the memory of host objects and their control blocks out of the
// repository's pool.
template <class T>
class TPoolAllocator {
 public:
  typedef T value_type;

  explicit TPoolAllocator(TStatePtr state) : m_state(state) {}
  template <class U>
  TPoolAllocator(const TPoolAllocator<U>& other) : m_state(other.State()) {}  // NOLINT

  T* allocate(std::size_t count) { return static_cast<T*>(m_state->Acquire(count * sizeof(T))); }
  void deallocate(T* block, std::size_t count) { m_state->Release(block, count * sizeof(T)); }

  TStatePtr State() const { return m_state; }
  template <class U>
  bool operator==(const TPoolAllocator<U>& other) const {
    return m_state == other.State();
  }
  template <class U>
  bool operator!=(const TPoolAllocator<U>& other) const {
    return m_state != other.State();
  }

 private:
  TStatePtr m_state;
};

template <class T, class... TArguments>
boost::shared_ptr<T> Make(TStatePtr state, TArguments&&... arguments) {
  return boost::allocate_shared<T>(TPoolAllocator<T>(state), state,
                                   std::forward<TArguments>(arguments)...);
}

// Every object handed out counts as one outstanding reference while it lives.
class TCounted {
 protected:
  explicit TCounted(TStatePtr state) : m_state(state) { ++m_state->outstanding; }
  ~TCounted() { --m_state->outstanding; }
  TCounted(const TCounted&) = delete;
  TCounted& operator=(const TCounted&) = delete;

  const TInventory& Inventory() const { return *m_state->inventory; }
  bool Tracing() const { return m_state->observer != nullptr; }
  // Calls that name no instance are reported only with their names.
  bool TracingNamed() const { return Tracing() && m_state->named; }
  void Trace(const THostCall& call) const {
    if (TracingNamed() || (Tracing() && call.instanceIndex)) m_state->observer->OnHostCall(call);
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
      : TCounted(state), m_property(property) {}

  // The value is made from its stored form when first asked for.
  const NQELZARN20::TCIMValue& GetValue(TCIMContext /*context*/) override {
    if (m_property.Fault() == EPropertyFault::Value) throw TZARNException(m_property.FaultStatus());
    if (!m_value) m_value = m_property.Value();
    return *m_value;
  }

 private:
  TInventory::TPropertyRef m_property;
  std::optional<NQELZARN20::TCIMValue> m_value;
};

class TRepositoryInstance : public ICIMInstance, private TCounted {
 public:
  TRepositoryInstance(TStatePtr state, TInventory::TInstanceIndex index)
      : TCounted(state), m_index(static_cast<std::uint32_t>(index)) {}

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
      completed = callback(Make<TRepositoryInstance>(m_state, other));
      if (!completed) break;
    }
    if (Tracing()) {
      THostCall call(THostCall::EnumerateAssociatedInstances,
                     TracingNamed() ? resultClass : std::string(), Label());
      call.instanceIndex = m_index;
      call.count = delivered;
      Trace(call);
    }
    return completed;
  }

  boost::shared_ptr<ICIMProperty> GetProperty(const std::string& name,
                                              TCIMContext /*context*/) override {
    const std::optional<TInventory::TNameId> id = m_state->NameId(name);
    const std::optional<TInventory::TPropertyRef> property =
        id ? Inventory().FindProperty(m_index, *id) : std::nullopt;
    if (!property) Fail(Call(name), NQELZARN20::kZARNStatusNotAvailable);
    if (property->Fault() == EPropertyFault::Lookup) Fail(Call(name), property->FaultStatus());
    if (Tracing()) Trace(Call(name));
    return Make<TRepositoryProperty>(m_state, *property);
  }

 private:
  std::string Label() const { return TracingNamed() ? Inventory().Label(m_index) : std::string(); }
  THostCall Call(const std::string& name) const {
    THostCall call(THostCall::GetProperty);
    call.instanceIndex = m_index;
    if (TracingNamed()) {
      call.instance = Label();
      call.property = name;
    }
    return call;
  }

  std::uint32_t m_index;
};

class TRepositoryClass : public ICIMClass, private TCounted {
 public:
  // data is null for a class the inventory does not list.
  TRepositoryClass(TStatePtr state, std::string name, const TInventory::TClass* data)
      : TCounted(state), m_name(std::move(name)), m_data(data) {}

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
    const TArena::TFillingAhead ahead = m_state->pool.FillingAhead();
    if (m_data != nullptr) {
      for (std::size_t i = 0; i < m_data->instances.size(); ++i) {
        ++delivered;
        completed = callback(Make<TRepositoryInstance>(m_state, m_data->instances[i]));
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
  explicit TRepositoryNamespace(TStatePtr state) : TCounted(state) {}

  boost::shared_ptr<ICIMClass> GetClass(const std::string& name, TCIMContext /*context*/) override {
    const THostCall call(THostCall::GetClass, name);
    const TInventory::TClass* data = Inventory().FindClass(name);
    if (data == nullptr) Fail(call, NQELZARN20::kZARNStatusNotAvailable);
    if (data->fault == EClassFault::Lookup) Fail(call, data->faultStatus);
    Trace(call);
    return Make<TRepositoryClass>(m_state, name, data);
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

TRepository::TRepository(boost::shared_ptr<const TInventory> inventory) : m_state(new TState) {
  m_state->inventory = std::move(inventory);
}

TRepository::~TRepository() {
  m_state->observer = nullptr;
  m_state->orphaned = true;
  if (m_state->blocks == 0) delete m_state;
}

void TRepository::SetCallObserver(IHostObserver* observer, ECallDetail detail) {
  m_state->observer = observer;
  m_state->named = detail == ECallDetail::Full;
}

boost::shared_ptr<ICIMNamespace> TRepository::OpenNamespace() {
  return Make<TRepositoryNamespace>(m_state);
}

boost::shared_ptr<ICIMClass> TRepository::MakeClass(const std::string& name) {
  return Make<TRepositoryClass>(m_state, name, m_state->inventory->FindClass(name));
}

std::size_t TRepository::OutstandingReferences() const { return m_state->outstanding; }

std::uint16_t OperatingSystemTypeOf(ICIMNamespace& cimNamespace) {
  const auto* repositoryNamespace = dynamic_cast<const TRepositoryNamespace*>(&cimNamespace);
  if (repositoryNamespace == nullptr) throw TZARNException(NQELZARN20::kZARNStatusNotAvailable);
  return repositoryNamespace->OperatingSystemType();
}

}  // namespace NZARNCORE
