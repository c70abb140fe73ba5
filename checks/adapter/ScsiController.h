#pragma once

namespace NTVXANAL {

// The adapters' SCSI protocol controllers, as the collectors list them, and
// the names the adapter and management checks share.
const char kControllerClass[] = "QELSG_txSCSIProtocolController";
const char kControllerType[] = "ControllerType";
// The controller's number; the records of its drives and devices name it too.
const char kControllerNum[] = "ControllerNum";

}  // namespace NTVXANAL
