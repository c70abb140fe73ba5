#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include "host/CIMValue.h"
#include "host/ZarnApi.h"

namespace NQELZARN20 {

typedef std::map<std::string, TCIMValue> TCIMContext;

class ICIMInstance;

// Called once per delivered instance; returning false stops the delivery.
typedef boost::function<bool(const boost::shared_ptr<ICIMInstance>&)> TInstanceCallback;

// Collects delivered objects into a vector the caller owns.
template <class T>
class TAddToVectorCallback {
 public:
  explicit TAddToVectorCallback(std::vector<boost::shared_ptr<T> >& target) : m_target(&target) {}
  bool operator()(const boost::shared_ptr<T>& item) const {
    m_target->push_back(item);
    return true;
  }

 private:
  std::vector<boost::shared_ptr<T> >* m_target;
};

class ZARN_API ICIMProperty {
 public:
  virtual ~ICIMProperty();
  virtual const TCIMValue& GetValue(TCIMContext context) = 0;
};

class ZARN_API ICIMInstance {
 public:
  virtual ~ICIMInstance();
  // The four names in the order of the CIM Associators operation; empty
  // names do not restrict.
  virtual bool EnumerateAssociatedInstances(const TInstanceCallback& callback,
                                            const std::string& associationClass,
                                            const std::string& resultClass, const std::string& role,
                                            const std::string& resultRole, TCIMContext context) = 0;
  virtual boost::shared_ptr<ICIMProperty> GetProperty(const std::string& name,
                                                      TCIMContext context) = 0;
};

class ZARN_API ICIMClass {
 public:
  virtual ~ICIMClass();
  virtual const std::string& GetName(TCIMContext context) = 0;
  virtual bool EnumerateInstances(const TInstanceCallback& callback, bool deep,
                                  TCIMContext context) = 0;
};

class ZARN_API ICIMNamespace {
 public:
  virtual ~ICIMNamespace();
  virtual boost::shared_ptr<ICIMClass> GetClass(const std::string& name, TCIMContext context) = 0;
};

class ZARN_API ILogger {
 public:
  virtual ~ILogger();
  virtual bool Log(std::int32_t level, const std::string& text) = 0;
};

}  // namespace NQELZARN20
