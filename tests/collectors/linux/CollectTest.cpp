// zarn collect end to end: on the machine images beside this file, on
// images made hostile as the test runs, and on the machine the tests run on.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "collectors/linux/LinuxSources.h"
#include "zarn/ZarnRun.h"

namespace NZARNTEST {
namespace {

using NTESTS::operator<<;

const std::string kImages = "tests/collectors/linux/";

// The one line that changes from run to run.
const std::string kSameTime =
    R"( | sed 's/"time": "[^"]*"/"time": "TIME"/; s/"version": "[^"]*"/"version": "VERSION"/')";

const std::string kNotes =
    "zarn: note: QELSG_txSCSIProtocolController could not be read: only the adapter's management "
    "software reports it\n"
    "zarn: note: QELSG_txBiosVersion could not be read: only the adapter's management software "
    "reports it\n"
    "zarn: note: QELSG_txDiskDrive could not be read: only the adapter's management software "
    "reports it\n"
    "zarn: note: QELSG_txDiskDriveVersion could not be read: only the adapter's management "
    "software reports it\n"
    "zarn: note: QELSG_txSCSIDeviceData could not be read: only the adapter's management "
    "software reports it\n"
    "zarn: note: QELSG_BadStripeData could not be read: only the adapter's management software "
    "reports it\n";

struct TImageCase {
  std::string name;
  std::string image;  // the image's folder; IMAGE.json is its inventory
};

class Image : public testing::TestWithParam<TImageCase> {};

TEST_P(Image, GivesItsInventory) {
  EXPECT_EQ(RunShell("zarn collect --root " + kImages + GetParam().image + kSameTime).out,
            ReadFile(kImages + GetParam().image + ".json"));
}

INSTANTIATE_TEST_SUITE_P(Collect, Image,
                         testing::Values(TImageCase{"WithManager", "with-manager"},
                                         TImageCase{"WithoutManager", "without-manager"}),
                         TCaseName());

// The image with the management software and its agent is analysed in
// docs/command-line.md, whose examples are run as written.
TEST(Collect, AnImageWithoutTheSoftwareIsAnalyzedThroughAPipe) {
  const TRunResult result = RunShell("zarn collect --root " + kImages +
                                     "without-manager | zarn analyze - --format jsonl "
                                     "--levels 100,101");
  EXPECT_EQ(
      result.out,
      R"({"level": 100, "text": "A Tarvex adapter is present but Tarvex Manager is not installed.Tarvex Manager may be obtained from the Qel Support site.", "class": "QELSG_InstalledRPM", "instance": "QELSG_InstalledRPM[0]"}
{"level": 101, "text": "\nA Tarvex adapter is present in the system but Tarvex Manager is not installed.\nIt is recommended to install Tarvex Manager before re-running Zarn and submitting the file to Qel.\nThis will enhance the information contained within the report.\nTarvex Manager may be obtained from the Qel Support site.\n", "class": "QELSG_InstalledRPM", "instance": "QELSG_InstalledRPM[0]"}
)" + kNotes);
  EXPECT_EQ(result.status, 1);
}

// Links out of the image, absolute and relative, a named pipe where a
// number should be (never opened), a folder the collector may not list, and
// a name that is not UTF-8; collected without privileges.
TEST(Collect, StaysInsideAHostileImage) {
  const TRunResult result = RunShell(R"sh(t=$(mktemp -d) && chmod 755 "$t" && cd "$t"
mkdir -p image/etc image/var/lib/dpkg image/usr/lib/systemd/system
d=image/sys/bus/pci/devices/0000:00:00.0 && mkdir -p $d
echo leaked > hostname && echo 0x9005 > vendor && echo 0x0285 > device
ln -s "$t/hostname" image/etc/hostname
mkfifo $d/vendor && ln -s "$t/device" $d/device
ln -s "../../../../../../../../../../..$t/vendor" $d/subsystem_vendor
printf 'Package: odd\377\001name\nStatus: install ok installed\nVersion: 1\n' > image/var/lib/dpkg/status
chmod 000 image/usr/lib/systemd/system
as=""; [ "$(id -u)" = 0 ] && as="setpriv --reuid=65534 --regid=65534 --clear-groups"
$as zarn collect --root image > inventory.json; echo "collect $?"
zarn validate - < inventory.json > /dev/null; echo "validate $?"
grep -c -e leaked -e '"host"' -e '"uint16": 36869' -e '"uint16": 645' inventory.json
grep -F -e '"Slot"' -e '"ProductName"' -e 'QELSG_PCIDevice": {' -e 'QELSG_SystemServiceInfo": {' \
  inventory.json
cd / && rm -rf "$t")sh");
  EXPECT_EQ(
      result.out,
      "collect 0\nvalidate 0\n0\n"
      R"(      "QELSG_PCIDevice": {"source": "/sys/bus/pci/devices", "state": "partial", "reason": "the IDs of 1 of 1 devices could not be read, the first because /sys/bus/pci/devices/0000:00:00.0/vendor is not a regular file"},)"
      "\n"
      R"(      "QELSG_SystemServiceInfo": {"source": "the systemd unit folders", "state": "unreadable", "reason": "no permission to list /usr/lib/systemd/system"},)"
      "\n"
      R"(      {"VendorID": {"uint16": null}, "PciDeviceID": {"uint16": null}, "SubVendorID": {"uint16": null}, "SubDeviceID": {"uint16": null}, "Slot": "0000:00:00.0", "Driver": null})"
      "\n"
      "      {\"ProductName\": \"odd\xEF\xBF\xBD\\u0001name 1\"}\n");
}

// Debian's rpm builds a package and a database for an image as the test
// runs; the image is left exactly as it was.
TEST(Collect, ListsWhatRpmPrints) {
  if (RunShell("command -v rpmbuild && command -v rpmdb").status != 0) {
    GTEST_SKIP() << "rpm is not installed; scripts/install-deps installs it";
  }
  const TRunResult result = RunShell(R"sh(t=$(mktemp -d) && cd "$t"
printf 'Name: TvxMgr-Agent\nVersion: 9.1\nRelease: 2\nSummary: s\nLicense: l\nBuildArch: noarch\n%%description\nd\n%%files\n' > package.recipe
rpmbuild --quiet -bb --define "_topdir $t/build" package.recipe
rpmdb --dbpath "$t/image/var/lib/rpm" --initdb
rpm --dbpath "$t/image/var/lib/rpm" -i --justdb --nodeps build/RPMS/noarch/*.rpm 2> /dev/null
rm -f image/var/lib/rpm/*-shm image/var/lib/rpm/*-wal && before=$(ls -l --full-time image/var/lib/rpm)
zarn collect --root image | grep -F -e ProductName -e 'QELSG_InstalledRPM": {'
[ "$before" = "$(ls -l --full-time image/var/lib/rpm)" ] && echo "image unchanged"
zarn=$(command -v zarn)
PATH=/nonexistent "$zarn" collect --root image | grep -F 'QELSG_InstalledRPM": {'
cd / && rm -rf "$t")sh");
  const std::string record = R"(      "QELSG_InstalledRPM": {"source": "rpm -qa", "state": )";
  EXPECT_EQ(result.out, record + "\"read\"},\n" +
                            R"(      {"ProductName": "TvxMgr-Agent-9.1-2.noarch"})" +
                            "\nimage unchanged\n" + record +
                            R"("unreadable", "reason": "program missing: rpm is not on PATH"},)"
                            "\n");
}

// Where the output goes, and that a failed run leaves the file as it was;
// what is no regular file is written through, a link keeps its place, a
// replaced file its mode, and no temporary file is left.
TEST(Collect, WritesThisMachineWholeOrNotAtAll) {
  const TRunResult result = RunShell(R"sh(t=$(mktemp -d)
zarn collect | zarn validate - > /dev/null; echo "piped $?"
zarn collect -o "$t/inventory.json"; echo "written $?"
zarn validate "$t/inventory.json" > /dev/null; echo "valid $?"
grep -cE '^    "time": "[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z",$' "$t/inventory.json"
echo kept > "$t/inventory.json"
zarn collect --root "$t/missing" -o "$t/inventory.json" 2> /dev/null; echo "no root $?"
zarn collect -o "$t/missing/inventory.json" 2> "$t/error"; echo "no folder $?"
(ulimit -f 1; zarn collect -o "$t/inventory.json" 2>> "$t/error"; echo "too large $?")
zarn collect -o '' 2>> "$t/error"; zarn collect -o "$t/" 2>> "$t/error"; echo "usage $?"
grep -v '^Run' "$t/error" | sed "s|$t|T|" && rm "$t/error"
mkfifo "$t/fifo" && cat "$t/fifo" > "$t/through" & zarn collect -o "$t/fifo"; echo "fifo $?"
wait && [ -p "$t/fifo" ] && grep -c '"format": 1' "$t/through"
echo old > "$t/target" && chmod 640 "$t/target" && ln -s target "$t/link"
zarn collect -o "$t/link"; [ -L "$t/link" ] && stat -c "link $? %a" "$t/target"
grep -c '"format": 1' "$t/target"
zarn collect -o "$t/$(printf 'n%.0s' $(seq 255))"; echo "long name $?"
cat "$t/inventory.json" && ls -A "$t" | cut -c1-20 && rm -rf "$t")sh");
  EXPECT_EQ(result.out,
            "piped 0\nwritten 0\nvalid 0\n1\nno root 2\nno folder 7\ntoo large 7\nusage 2\n"
            "zarn: error: cannot write T/missing/inventory.json: no such file or directory; "
            "nothing was written\n"
            "zarn: error: cannot write T/inventory.json: file too large; nothing was written\n"
            "zarn: error: --output: '' is not a file name\n"
            "zarn: error: --output: 'T/' is a folder; give the name of a file\n"
            "fifo 0\n1\nlink 0 640\n1\nlong name 0\nkept\nfifo\ninventory.json\nlink\n"
            "nnnnnnnnnnnnnnnnnnnn\ntarget\nthrough\n");
}

// The record's texts come from any collector; shown, they cannot drive the
// terminal.
TEST(Collect, RecordIsShownAsOneLineEach) {
  const TRunResult result = RunShell(R"sh(inventory='{"classes": {"C": []}, "collection": {
  "collector": "c", "version": "1", "time": "t", "classes": {"C": {"source": "a\u001b[2Jb",
  "state": "unreadable", "reason": "x\ny"}}}}'
printf '%s' "$inventory" | zarn validate - | tail -n 1
printf '%s' "$inventory" | zarn analyze - --class none --format jsonl; echo "status $?"
printf '%s' "$inventory" | sed 's/unreadable/partial/' | zarn analyze - --class none; echo "status $?")sh");
  EXPECT_EQ(result.out,
            "  C  could not be read from a\\u001B[2Jb: x\\ny\n"
            "zarn: note: C could not be read: x\\ny\nstatus 6\n"
            "zarn: note: C was read in part: x\\ny\n"
            "Summary: findings 0, advice 0, errors 0, diagnostics 0\nstatus 6\n");
}

// A running systemd is out of the tests' reach; its listing is not.
TEST(Collect, ReadsTheStatesSystemctlLists) {
  const std::map<std::string, std::string> expected{
      {"cron", "active (running)"},
      {"nginx", "failed (failed)"},
      {"systemd-fsck@dev-disk-by\\x2duuid-12", "active (exited)"},
      {"tarvexmanageragent", "inactive (dead)"}};
  EXPECT_EQ(
      NZARNCOLLECT::ParseUnitStates(
          "cron.service                loaded active   running Regular background program "
          "processing daemon\n"
          "nginx.service               loaded failed   failed  A high performance web server\n"
          "systemd-fsck@dev-disk-by\\x2duuid-12.service loaded active exited File System "
          "Check on /dev/disk/by-uuid/12\n"
          "tarvexmanageragent.service  loaded inactive dead    Tarvex Manager agent\n"
          "\n"),
      expected);
}

}  // namespace
}  // namespace NZARNTEST
