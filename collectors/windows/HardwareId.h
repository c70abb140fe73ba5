#pragma once

#include <cstdint>
#include <string>

#include <boost/optional.hpp>

namespace NZARNCOLLECT {

// The identity in a PCI device's hardware ID; each part that the ID lacks,
// or gives malformed, is none.
struct TPciIdentity {
  boost::optional<std::uint16_t> vendor;
  boost::optional<std::uint16_t> device;
  boost::optional<std::uint16_t> subVendor;
  boost::optional<std::uint16_t> subDevice;
};

// Reads PCI\VEN_vvvv&DEV_dddd&SUBSYS_ssssnnnn&REV_rr, in which SUBSYS holds
// the subsystem's device ID first and its vendor ID second. A device
// instance ID, that is a hardware ID followed by \ and the instance's own
// part, reads the same. None when the text is no PCI ID at all.
boost::optional<TPciIdentity> ParsePciHardwareId(const std::string& id);

}  // namespace NZARNCOLLECT
