#pragma once

#include <cstdint>
#include <string>

#include <optional>

namespace NZARNCOLLECT {

// The identity in a PCI device's hardware ID; each part that the ID lacks,
// or gives malformed, is none.
struct TPciIdentity {
  std::optional<std::uint16_t> vendor;
  std::optional<std::uint16_t> device;
  std::optional<std::uint16_t> subVendor;
  std::optional<std::uint16_t> subDevice;
};

// Reads PCI\VEN_vvvv&DEV_dddd&SUBSYS_ssssnnnn&REV_rr, in which SUBSYS holds
// the subsystem's device ID first and its vendor ID second. A device
// instance ID, that is a hardware ID followed by \ and the instance's own
// part, reads the same. None when the text is no PCI ID at all.
std::optional<TPciIdentity> ParsePciHardwareId(const std::string& id);

}  // namespace NZARNCOLLECT
