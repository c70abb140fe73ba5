#pragma once

#include <array>
#include <cstdint>

namespace NTVXANAL {

// A PCI identity: the vendor and device IDs of PCI configuration space.
struct TPciIdentity {
  std::uint16_t vendorId;
  std::uint16_t deviceId;
};

// The identities that count as a Tarvex adapter, in the order they are tried.
extern const std::array<TPciIdentity, 3> AdapterPciIdentities;

}  // namespace NTVXANAL
