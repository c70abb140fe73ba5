// zarn report's pages in a real browser, Debian's Chromium, headless: the
// DOM as loaded holds every line of the inventory with its evidence, a
// hostile inventory runs nothing, the overview lists every inventory of a
// folder, axe-core finds nothing serious, and the page reads on a phone.
// Run by ctest with ZARN, SOURCE_DIR, ARTEFACTS (where the screenshot and
// axe's findings are kept) and NODE_PATH (axe-core and playwright-core).
"use strict";
const { test, after } = require("node:test");
const assert = require("node:assert/strict");
const { execFileSync, spawnSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");

const CHROMIUM = process.env.CHROMIUM || "/usr/bin/chromium";
if (!fs.existsSync(CHROMIUM)) {
  console.log(`SKIPPED: ${CHROMIUM} is not installed; 'scripts/install-deps browser' installs it`);
  process.exit(77);
}
const { ZARN, SOURCE_DIR, ARTEFACTS } = process.env;
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "zarn-report-"));
after(() => fs.rmSync(scratch, { recursive: true, force: true }));
fs.mkdirSync(ARTEFACTS, { recursive: true });

// Chromium as this machine's closed network needs it: nothing in the background.
const CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
  "--disable-background-networking", "--disable-component-update", "--disable-sync"];

function zarn(args) {
  return spawnSync(ZARN, args, { cwd: SOURCE_DIR, encoding: "utf8" });
}

// Writes the page on the inventories to a file; gives its path.
function report(inventories, name, status = 0) {
  const page = path.join(scratch, name);
  const run = zarn(["report", ...inventories, "-o", page]);
  assert.equal(run.status, status, run.stderr);
  return page;
}

function dumpDom(page) {
  const profile = fs.mkdtempSync(path.join(scratch, "profile-"));
  return execFileSync(CHROMIUM, [...CHROMIUM_FLAGS, `--user-data-dir=${profile}`, "--dump-dom",
    `file://${page}`], { encoding: "utf8", stdio: ["ignore", "pipe", "ignore"] });
}

// Text as Chromium serialises it, and back.
function decode(html) {
  return html.replace(/<[^>]*>/g, "").replace(/&lt;/g, "<").replace(/&gt;/g, ">")
    .replace(/&quot;/g, '"').replace(/&#39;/g, "'").replace(/&nbsp;/g, "\u00a0")
    .replace(/&amp;/g, "&");
}

// Each line of the page, in page order: its level, text and the instance
// its evidence names.
function linesOf(dom) {
  const item = /<li class="[^"]*" data-level="(-?\d+)">([\s\S]*?)<\/li>/g;
  return [...dom.matchAll(item)].map(([, level, body]) => ({
    level: Number(level),
    text: decode(body.match(/<p class="text">([\s\S]*?)<\/p>/)[1]),
    evidence: decode((body.match(/<div class="evidence"><p>([\s\S]*?)<\/p>/) || ["", ""])[1]),
  }));
}

// The cells of each row of the table whose caption starts with caption.
function tableRows(dom, caption) {
  const table = [...dom.matchAll(/<caption>([\s\S]*?)<\/caption>([\s\S]*?)<\/table>/g)]
    .find(([, title]) => decode(title).startsWith(caption));
  assert.ok(table, `a table '${caption}'`);
  return [...table[2].matchAll(/<tr>([\s\S]*?)<\/tr>/g)]
    .map(([, row]) => [...row.matchAll(/<t[hd][^>]*>([\s\S]*?)<\/t[hd]>/g)].map(([, cell]) => decode(cell)));
}

// What zarn analyze logs, in the page's order: findings and advice, errors,
// then the rest; each text without the line breaks that open and close it.
function analyzed(inventory) {
  const lines = zarn(["analyze", "--format", "jsonl", inventory]).stdout.trim().split("\n")
    .map((line) => JSON.parse(line)).map(({ level, text }) => ({ level, text: text.replace(/^\n+|\n+$/g, "") }));
  const group = (level) => (level === 100 || level === 101 ? 0 : level === 0 ? 1 : 2);
  return [0, 1, 2].flatMap((g) => lines.filter((line) => group(line.level) === g));
}

test("the DOM as loaded holds every line of the sample, each with its evidence", () => {
  const lines = linesOf(dumpDom(report(["examples/sample-server.json"], "sample.html")));
  assert.deepEqual(lines.map(({ level, text }) => ({ level, text })),
    analyzed("examples/sample-server.json"));
  const evidence = Object.fromEntries(lines.map((line) => [line.text, line.evidence]));
  for (const [text, instance] of [
    ['Tarvex: Disk with device code "acme 146g" may not be supported.', "QELSG_txDiskDrive disk2"],
    ["Tarvex: Controller 1 Channel 0 Scsi ID 0 reported 2 parity errors", "QELSG_txSCSIDeviceData[0]"],
    ["Tarvex: Data scrubbing for controller number 1 controller type Tarvex-4a is disabled", "QELSG_txSCSIProtocolController ctrl1"],
    ["Tarvex: Logical drive 1 on controller 2 has 12 bad stripes", "QELSG_BadStripeData[1]"],
    ["The tarvex manager system service is:W32Time", "QELSG_SystemServiceInfo[1]"],
  ]) {
    assert.equal(evidence[text], `Read last before this line: ${instance}`, text);
  }
});

test("the page shows the inventory as it is: values, faults, associations, the collection", () => {
  const sample = dumpDom(report(["examples/sample-server.json"], "sample.html"));
  assert.deepEqual([...sample.matchAll(/<h2>([^<]*)<\/h2>/g)].map(([, heading]) => heading),
    ["Findings", "Collection", "Adapters", "Disks", "Versions"]);
  assert.deepEqual(tableRows(sample, "QELSG_txDiskDriveVersion: 4 instances"), [
    ["Instance", "Version", "Associated with"], ["disk0-fw", "B8A0", "disk0"],
    ["disk1-fw", "C1D4", "disk1"], ["disk2-fw", "0004", "disk2"], ["disk3-fw", "E3B0", "disk3"]]);
  const faults = dumpDom(report(["docs/examples/faults.json"], "faults.html"));
  const evidence = faults.match(/data-level="0">[\s\S]*?<dl>([\s\S]*?)<\/dl>/)[1];
  assert.deepEqual([...evidence.matchAll(/<dt>([^<]*)<\/dt><dd>([\s\S]*?)<\/dd>/g)]
    .map(([, name, value]) => `${name}: ${decode(value)}`),
  ["DeviceType: GetProperty fails: status 15 (class or property not available)",
    "DeviceCode: GetValue fails: status 4"]);
  const collected = dumpDom(report(["docs/examples/collected.json"], "collected.html"));
  assert.match(decode(collected), /What the analysis saw is short of what the machine holds:\s*QELSG_txSCSIProtocolController could not be read: only the adapter's management software reports it/);
  assert.deepEqual(tableRows(collected, "How each class was collected").slice(3), [
    ["QELSG_WindowsSystemEventLogRecord", "absent", "the Windows System event log", "a Linux system has no Windows event log"],
    ["QELSG_txSCSIProtocolController", "could not be read", "the adapter's management software", "only the adapter's management software reports it"]]);
});

test("a hostile inventory shows its markup as text and runs none of it", () => {
  const folder = fs.mkdtempSync(path.join(scratch, "hostile-"));
  const hostile = path.join(SOURCE_DIR, "tests/browser/hostile-server.json");
  fs.copyFileSync(hostile, path.join(folder, `"><img src=x onerror="document.title='pwned'">.json`));
  const host = "db1</title></style><script>document.title='pwned'</script>";
  for (const [page, title] of [[report([hostile], "hostile.html"), `${host} \u2014 zarn report`],
    [report([folder], "hostile-folder.html"), "Report on 1 inventory \u2014 zarn report"]]) {
    const dom = dumpDom(page);
    assert.equal(decode(dom.match(/<title>([^<]*)<\/title>/)[1]), title);
    assert.match(dom, /^<!DOCTYPE html>\n<html lang="en"><head>/, "no attribute set on the root");
    assert.equal(dom.match(/<script/g).length, 1, "only the page's own script");
    assert.equal(dom.match(/<style/g).length, 1, "only the page's own style");
    assert.doesNotMatch(dom, /<(img|svg)\b/);
    assert.match(decode(dom), /The driver zelk412\.sys detected <img src=x onerror="document\.documentElement/);
    assert.match(decode(dom), /system service is:<script>document\.title='pwned'<\/script>/);
  }
});

test("the overview lists every inventory of a folder, worst first, each leading to its part", () => {
  const folder = path.join(scratch, "fleet");
  const inventories = ["examples/healthy-server.json", "examples/sample-server.json",
    "docs/examples/cli-empty.json", "docs/examples/cli-bad.json", "docs/examples/cli-broken.json",
    "docs/examples/collected.json", "tests/zarn/data/fleet/db/replica.json"];
  for (const [index, inventory] of inventories.entries()) {
    fs.mkdirSync(path.join(folder, `site${index % 2}`), { recursive: true });
    fs.copyFileSync(path.join(SOURCE_DIR, inventory), path.join(folder, `site${index % 2}`, `${index}.json`));
  }
  const dom = dumpDom(report([folder], "folder.html", 2));
  const rows = [...dom.matchAll(/<tr><td data-sort="\d+"><span class="badge [^"]*">([^<]*)<\/span><\/td><td><a href="#([^"]+)"><code>([^<]*)<\/code>/g)];
  const listed = inventories.map((_, index) => `${folder}/site${index % 2}/${index}.json`);
  assert.deepEqual(rows.map((row) => row[3]).sort(), listed.sort());
  assert.deepEqual(rows.map((row) => row[1]), ["not loaded", "failed", "findings", "incomplete",
    "incomplete", "incomplete", "clean"], "worst first");
  assert.match(dom, /<p>7 inventories: 1 not loaded, 1 failed, 1 with findings, 3 incomplete, 1 clean\.<\/p>/);
  for (const row of rows) assert.match(dom, new RegExp(`<section class="inventory" id="${row[2]}"`));
});

// Chromium driven by playwright-core, for what a dumped DOM cannot show.
async function withPage(page, viewport, use) {
  const { chromium } = require("playwright-core");
  const browser = await chromium.launch({ executablePath: CHROMIUM, args: CHROMIUM_FLAGS });
  try {
    const tab = await browser.newPage({ viewport });
    const errors = [];
    tab.on("console", (message) => message.type() === "error" && errors.push(message.text()));
    tab.on("pageerror", (error) => errors.push(String(error)));
    await tab.goto(`file://${page}`);
    await use(tab, errors);
  } finally {
    await browser.close();
  }
}

test("the page's policy lets its own style and script run, and nothing else", async () => {
  await withPage(report(["examples/sample-server.json"], "sample.html"), null, async (tab, errors) => {
    assert.deepEqual(errors, [], "nothing of the page's own refused");
    const refused = await tab.evaluate(() => new Promise((resolve) => {
      const directives = [];
      const done = () => resolve({ directives: directives.sort(), title: document.title });
      document.addEventListener("securitypolicyviolation", (event) => {
        directives.push(event.effectiveDirective);
        if (directives.length === 3) done();
      });
      setTimeout(done, 5000);
      const script = document.createElement("script");
      script.textContent = "document.title = 'ran';";
      const image = document.createElement("img");
      image.src = "http://127.0.0.1:9/image.png";
      const style = document.createElement("style");
      style.textContent = "body { display: none; }";
      document.body.append(script, image, style);
    }));
    assert.deepEqual(refused, { directives: ["img-src", "script-src-elem", "style-src-elem"],
      title: "examples/sample-server.json \u2014 zarn report" });
  });
});

test("axe-core finds nothing serious on the pages", async () => {
  const axe = fs.readFileSync(require.resolve("axe-core/axe.min.js"), "utf8");
  const pages = { sample: report(["examples/sample-server.json"], "sample.html"),
    overview: report(["examples"], "overview.html") };
  for (const [name, page] of Object.entries(pages)) {
    await withPage(page, { width: 1280, height: 900 }, async (tab) => {
      await tab.evaluate(axe);
      const { violations } = await tab.evaluate(() => window.axe.run(document, { resultTypes: ["violations"] }));
      fs.writeFileSync(path.join(ARTEFACTS, `axe-${name}.json`), JSON.stringify(violations, null, 1));
      for (const v of violations) console.log(`axe on ${name}: ${v.impact} ${v.id} (${v.nodes.length})`);
      assert.deepEqual(violations.filter((v) => ["serious", "critical"].includes(v.impact))
        .map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(" ")}`), [], name);
    });
  }
});

test("the sample's page reads on a phone, sorts its overview, and leaves a screenshot", async () => {
  await withPage(report(["examples/sample-server.json"], "sample.html"), { width: 360, height: 740 },
    async (tab) => {
      assert.ok(await tab.evaluate(() => document.documentElement.scrollWidth <= innerWidth),
        "no sideways scrolling");
    });
  await withPage(report(["examples"], "overview.html"), { width: 1280, height: 900 }, async (tab) => {
    const overview = "#overview + .table-wrap";
    const inventories = () => tab.$$eval(`${overview} tbody td:nth-child(2)`,
      (cells) => cells.map((cell) => cell.textContent));
    await tab.click(`${overview} th:nth-child(2) button`);
    assert.deepEqual(await inventories(), ["examples/healthy-server.json", "examples/linux-server.json",
      "examples/sample-server.json"]);
  });
  await withPage(report(["examples/sample-server.json"], "sample.html"), { width: 1100, height: 1400 },
    async (tab) => {
      await tab.screenshot({ path: path.join(ARTEFACTS, "sample-report.png"), fullPage: true });
    });
});
