#!/usr/bin/env python3
"""Writes a synthetic server inventory for the benchmarks.

The same knobs and seed always give the same file, byte for byte, on every
platform and Python version: the random numbers come from our own generator,
never from the random module. Texts look like what collectors record: event
log messages with device paths, escapes and now and then one of the adapter
driver files, version strings, device codes, product and service names.
"""

import argparse
import json
import sys

MASK64 = (1 << 64) - 1

# The event IDs the event-log check selects, and the driver files it looks for.
SELECTED_EVENT_IDS = (9, 11, 15, 26, 50, 51)
DRIVER_FILES = ("zelk412.sys", "qvtmpdrv.sys")


class Random:
    """splitmix64: small, fast enough, and the same everywhere."""

    def __init__(self, seed):
        self.state = seed & MASK64

    def next(self):
        self.state = (self.state + 0x9E3779B97F4A7C15) & MASK64
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK64
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK64
        return z ^ (z >> 31)

    def below(self, bound):
        return self.next() % bound

    def choice(self, items):
        return items[self.below(len(items))]

    def chance(self, percent):
        return self.below(10000) < percent * 100


SERVICES = ("Spooler", "W32Time", "Dhcp", "Dnscache", "EventLog", "LanmanServer",
            "LanmanWorkstation", "RemoteRegistry", "Schedule", "SNMP", "WinRM", "wuauserv",
            "BITS", "CryptSvc", "PlugPlay", "RpcSs", "SamSs", "Netlogon", "TermService",
            "MSDTC", "VSS", "TarvexManagerAgent", "BackupAgent", "AVScanner")
SERVICE_TITLES = ("Print Spooler", "Windows Time", "DHCP Client", "DNS Client",
                  "Windows Update", "Background Intelligent Transfer Service",
                  "Remote Registry", "Task Scheduler", "Volume Shadow Copy",
                  "Distributed Transaction Coordinator", "Windows Remote Management",
                  "Backup Agent", "Tarvex Manager Agent")
STATES = ("running", "stopped")
PRODUCTS = ("Backup Agent 7.2", "Network Diagnostics 3", "Office Suite 2003",
            "Antivirus Scanner 9.1", "Database Client 8.1.7", "Terminal Tools 2.0",
            "Storage Monitor 1.4", "Remote Console 5", "Report Viewer 10",
            "Runtime Library 2.0.50727", "Mail Gateway 6.5", "File Sync 1.1")
VENDOR_CODES = ("QEL-RND", "QEL-MBNO", "QEL-VTRA", "ACME", "ST", "HX", "Qel-Rnd", "MQ")
DISK_SIZES = ("18G", "36G", "73G", "146G", "300G", "600G")
PCI_DESCRIPTIONS = ("Host bridge", "PCI bridge", "Ethernet controller", "VGA controller",
                    "USB controller", "SMBus controller", "IDE interface", "RAID controller",
                    "Fibre Channel adapter", "Serial controller")
# Vendor and device IDs; the first is the adapter's own identity.
PCI_IDS = ((36869, 645), (32902, 9248), (32902, 4110), (4203, 5719), (4098, 20823),
           (4318, 4096), (4116, 1280), (5549, 1029))


def datetime_text(rng):
    return "2024%02d%02d%02d%02d%02d.%06d+060" % (
        1 + rng.below(12), 1 + rng.below(28), rng.below(24), rng.below(60), rng.below(60),
        rng.below(1000000))


def device_path(rng):
    return "\\Device\\Harddisk%d\\DR%d" % (rng.below(16), rng.below(16))


def selected_message(rng, event_id, named=None):
    """A disk or adapter event; about a third name one of the driver files,
    unless named says whether this one does."""
    device = device_path(rng)
    if named is None:
        named = rng.chance(35)
    driver = rng.choice(DRIVER_FILES) if named else rng.choice(("disk.sys", "atapi.sys"))
    texts = {
        9: "The device, %s, did not respond within the timeout period." % device,
        11: "The driver detected a controller error on %s." % device,
        15: "The device, %s, is not ready for access yet." % device,
        26: "Application popup: Windows - Delayed Write Failed : Windows was unable to save "
            "all the data for the file %s\\$Mft." % device,
        50: "{Delayed Write Failed} Windows was unable to save all the data for the file. "
            "The data has been lost.",
        51: "An error was detected on device %s during a paging operation." % device,
    }
    text = texts[event_id]
    if named or rng.chance(30):
        text += " Reported by %s (driver version %d.%d.%d)." % (
            driver, 4 + rng.below(3), rng.below(20), rng.below(3000))
    return text


def common_message(rng):
    kind = rng.below(16)
    if kind < 9:
        return 7036, "Service Control Manager", "The %s service entered the %s state." % (
            rng.choice(SERVICE_TITLES), rng.choice(STATES))
    if kind < 10:
        return 7035, "Service Control Manager", "The %s service was successfully sent a start " \
            "control." % rng.choice(SERVICE_TITLES)
    if kind < 14:
        return 6013, "EventLog", "The system uptime is %d seconds." % rng.below(10000000)
    if kind == 14:
        return 1074, "USER32", ("The process C:\\Windows\\system32\\winlogon.exe (TVXSRV%02d) has "
                                "initiated the restart of computer TVXSRV%02d on behalf of user "
                                "TVX\\Administr\u00e1tor.\r\n" % (rng.below(40), rng.below(40)))
    return 37, "W32Time", "The time provider NtpClient is currently receiving valid time data " \
        "from ntp%d.tvx.local." % rng.below(8)


def event_record(rng, flood):
    """A record of the event log; flood percent of them are a driver's
    message that the event-log check reports, as when a controller fails."""
    if flood and rng.chance(flood):
        event_id = rng.choice(SELECTED_EVENT_IDS)
        source = rng.choice(("zelk412", "qvtmpdrv"))
        message = selected_message(rng, event_id, named=True)
    elif rng.chance(3):
        event_id = rng.choice(SELECTED_EVENT_IDS)
        source = rng.choice(("zelk412", "qvtmpdrv", "Disk", "Ntfs"))
        message = selected_message(rng, event_id)
    else:
        event_id, source, message = common_message(rng)
    return {"EventID": {"uint32": event_id}, "SourceName": source,
            "TimeGenerated": {"datetime": datetime_text(rng)}, "Message": message}


def controller(rng, number):
    return {"$id": "ctrl%d" % number,
            "ControllerType": rng.choice(("Tarvex-4a", "Tarvex-4c", "Tarvex-3q", "Tarvex-5e")),
            "ControllerNum": {"uint32": number},
            "DataScrubbing": rng.choice(("Enabled", "Enabled", "Enabled", "Disabled", "No")),
            "PartOfCluster": rng.choice(("No", "No", "No", "Yes (active)", "Yes (passive)")),
            "DeviceDriverVersion": rng.choice(("4.1-5", "4.12-7", "5.20", "5.10", "4.10.2"))}


def bios(rng, index, controllers):
    number = 1 + index % max(controllers, 1)
    return {"Name": "Tarvex%d BIOS" % number,
            "Version": rng.choice(("4.1-5", "4.12-3", "5.10", "5.1-7", "4.10", "6.0"))}


def disk(rng, index, controllers):
    hard = rng.chance(90)
    code = "%s %s" % (rng.choice(VENDOR_CODES), rng.choice(DISK_SIZES))
    return {"$id": "disk%d" % index, "DeviceType": "Hard disk" if hard else "CD-ROM",
            "DeviceCode": code, "DeviceSerialNum": "%08X" % rng.below(1 << 32),
            "ControllerNum": {"uint32": 1 + rng.below(max(controllers, 1))},
            "Channel": {"uint32": rng.below(4)}, "ScsiId": {"uint32": rng.below(16)}}


def disk_version(rng, index):
    return {"$id": "disk%d-fw" % index, "Version": "%04X" % rng.below(1 << 16)}


def scsi_device(rng, controllers):
    def count():
        return {"uint32": 0 if rng.chance(85) else rng.below(50)}
    return {"ControllerNum": {"uint32": 1 + rng.below(max(controllers, 1))},
            "Channel": {"uint32": rng.below(4)}, "ScsiId": {"uint32": rng.below(16)},
            "NumParityErrors": count(), "NumSoftErrors": count(), "NumHardErrors": count(),
            "PFA": "Yes" if rng.chance(2) else "No", "Misc": count()}


def bad_stripe(rng, controllers):
    return {"ControllerNum": {"uint32": 1 + rng.below(max(controllers, 1))},
            "LogicalDrive": {"uint32": rng.below(8)},
            "NumBadStripes": {"uint32": 0 if rng.chance(80) else rng.below(20)}}


def pci_device(rng):
    vendor, device = rng.choice(PCI_IDS)
    return {"VendorID": {"uint16": vendor}, "PciDeviceID": {"uint16": device},
            "Description": rng.choice(PCI_DESCRIPTIONS)}


def product(rng, index):
    if index == 0:
        return {"ProductName": "Tarvex Manager 6.40"}
    return {"ProductName": "%s (%d)" % (rng.choice(PRODUCTS), index)}


RPMS = ("bash-5.1.8-6.x86_64", "openssl-3.0.7-24.x86_64", "sudo-1.9.5p2-9.x86_64",
        "rsyslog-8.2102.0-15.x86_64", "cronie-1.5.7-8.x86_64", "kernel-5.14.0-362.x86_64",
        "net-snmp-5.9.1-11.x86_64", "lvm2-2.03.21-3.x86_64")


def rpm(rng, index):
    if index == 0:
        return {"ProductName": "tvxmgr-6.40-1.x86_64"}
    return {"ProductName": rng.choice(RPMS)}


def service(rng, index):
    return {"Name": "%s%s" % (rng.choice(SERVICES), "" if index < len(SERVICES) else index)}


def write_class(out, name, instances, last=False):
    """One instance a line, as collectors write them."""
    out.write('    "%s": [' % name)
    written = 0
    for instance in instances:
        out.write(",\n      " if written else "\n      ")
        out.write(json.dumps(instance, ensure_ascii=False, separators=(",", ":")))
        written += 1
    out.write("\n    ]" if written else "]")
    out.write("\n" if last else ",\n")


def write_inventory(out, args):
    rng = Random(args.seed)
    out.write('{\n  "format": 1,\n  "operatingSystemType": %d,\n  "classes": {\n'
              % args.os_type)
    controllers = args.controllers
    write_class(out, "QELSG_txSCSIProtocolController",
                (controller(rng, n + 1) for n in range(controllers)))
    write_class(out, "QELSG_txBiosVersion", (bios(rng, i, controllers) for i in range(args.bios)))
    write_class(out, "QELSG_txDiskDrive", [disk(rng, i, controllers) for i in range(args.disks)])
    versions = [i for i in range(args.disks) if rng.chance(90)]
    write_class(out, "QELSG_txDiskDriveVersion", [disk_version(rng, i) for i in versions])
    write_class(out, "QELSG_txSCSIDeviceData",
                (scsi_device(rng, controllers) for _ in range(args.scsi_devices)))
    write_class(out, "QELSG_BadStripeData",
                (bad_stripe(rng, controllers) for _ in range(args.bad_stripes)))
    write_class(out, "QELSG_PCIDevice", (pci_device(rng) for _ in range(args.pci_devices)))
    write_class(out, "QELSG_InstalledApplication", (product(rng, i) for i in range(args.products)))
    write_class(out, "QELSG_InstalledRPM", (rpm(rng, i) for i in range(args.rpms)))
    write_class(out, "QELSG_SystemServiceInfo", (service(rng, i) for i in range(args.services)))
    write_class(out, "QELSG_WindowsSystemEventLogRecord",
                (event_record(rng, args.flood) for _ in range(args.events)), last=True)
    out.write('  },\n  "associations": [')
    for n, i in enumerate(versions):
        out.write("\n    " if n == 0 else ",\n    ")
        out.write('["disk%d", "disk%d-fw"]' % (i, i))
    out.write("\n  ]\n}\n" if versions else "]\n}\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", help="the file to write ('-' for stdout)")
    knobs = (("events", 1000, "system event log records"), ("disks", 8, "disk drives"),
             ("controllers", 2, "SCSI protocol controllers"), ("bios", 2, "BIOS records"),
             ("scsi-devices", 8, "SCSI device records"), ("bad-stripes", 4, "bad stripe records"),
             ("pci-devices", 20, "PCI devices"), ("products", 40, "installed products"),
             ("rpms", 0, "installed RPM packages"), ("services", 80, "system services"))
    for name, default, what in knobs:
        parser.add_argument("--" + name, type=int, default=default,
                            help="number of %s (default %d)" % (what, default))
    parser.add_argument("--flood", type=int, default=0,
                        help="percent of event log records that are a reported driver message, "
                             "as in a failing controller's flooded log (default 0)")
    parser.add_argument("--os-type", type=int, default=18,
                        help="operating-system type (default 18; 36 has RPM packages)")
    parser.add_argument("--seed", type=int, default=7, help="random seed (default 7)")
    args = parser.parse_args()
    if args.output == "-":
        write_inventory(sys.stdout, args)
        return
    with open(args.output, "w", encoding="utf-8", newline="\n") as out:
        write_inventory(out, args)


if __name__ == "__main__":
    main()
