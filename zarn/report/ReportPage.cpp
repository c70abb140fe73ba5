#include "zarn/report/ReportPage.h"

#include <algorithm>
#include <string_view>
#include <tuple>
#include <utility>

#include "host/Analysis.h"
#include "host/ZARNException.h"
#include "zarn/commands/Commands.h"
#include "zarn/output/CollectionReport.h"
#include "zarn/report/HtmlText.h"
#include "zarn/report/ReportAssets.h"

namespace NZARN {

using NZARNCORE::ECollectionState;
using NZARNCORE::EPropertyFault;
using NZARNCORE::TInventory;

namespace {

// What one text of the page may take: a line of the plug-in, a value.
const std::size_t kMaxTextBytes = 8192;
const std::size_t kMaxValueBytes = 1024;
// Properties an instance shows (as evidence, or as a table's columns), and
// the instances associated with one.
const std::size_t kShownProperties = 60;
const std::size_t kShownAssociations = 20;

// The classes shown as tables, each under its heading (none: the one before).
struct THardwareTable {
  const char* heading;
  const char* className;
};
const THardwareTable kHardwareTables[] = {{"Adapters", "QELSG_txSCSIProtocolController"},
                                          {"Disks", "QELSG_txDiskDrive"},
                                          {"Versions", "QELSG_txBiosVersion"},
                                          {nullptr, "QELSG_txDiskDriveVersion"}};

// The operating-system types zarn's collectors write.
const std::pair<std::uint16_t, const char*> kSystemNames[] = {{18, "Windows"}, {36, "Linux"}};

// How each exit status looks, worst first: the overview's order.
struct TStatusLook {
  int status;
  const char* word;   // the badge's
  const char* style;  // the badge's class
  const char* tally;  // the run's count of inventories
  const char* verdict;
};
const TStatusLook kStatusLooks[] = {
    {eExitUsage, "not loaded", "not-loaded", "not loaded", "The inventory could not be loaded."},
    {eExitPluginNotLoaded, "failed", "failed", "failed", "The plug-in could not be loaded."},
    {eExitException, "failed", "failed", "failed",
     "An exception ended the analysis; the lines written before it are shown."},
    {eExitReferencesHeld, "failed", "failed", "failed",
     "The plug-in still held host references after the analysis."},
    {eExitOutputFailed, "failed", "failed", "failed", "The analysis could not write its output."},
    {eExitFindings, "findings", "findings", "with findings",
     "The analysis found what needs attention."},
    {eExitErrorsOnly, "incomplete", "incomplete", "incomplete",
     "Nothing found, but the analysis could not look at everything."},
    {eExitClean, "clean", "clean", "clean", "Nothing to report."}};

std::size_t StatusRank(int status) {
  for (std::size_t rank = 0; rank < std::size(kStatusLooks); ++rank) {
    if (kStatusLooks[rank].status == status) return rank;
  }
  return 1;  // an end zarn does not know is a failure
}

const TStatusLook& LookOf(int status) { return kStatusLooks[StatusRank(status)]; }

void AppendBadge(std::string& out, int status) {
  const TStatusLook& look = LookOf(status);
  out += std::string("<span class=\"badge ") + look.style + "\">" + look.word + "</span>";
}

void AppendText(std::string& out, const std::string& text) {
  AppendHtmlText(out, text, kMaxTextBytes);
}

void AppendCode(std::string& out, const std::string& text) {
  out += "<code>";
  AppendText(out, text);
  out += "</code>";
}

void Heading(std::string& out, int depth, const char* text) {
  const std::string level = std::to_string(depth);
  out += "<h" + level + ">" + text + "</h" + level + ">\n";
}

std::string Plural(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

// "status 15 (class or property not available)"; a status without a text
// of its own shows once.
std::string StatusText(NQELZARN20::TZARNStatusCode status) {
  const std::string code = "status " + std::to_string(status);
  const std::string text = NQELZARN20::TranslateStatusCode(status);
  return text == code ? code : code + " (" + text + ")";
}

// --- Instances and their values ---

void AppendInstanceName(std::string& out, const TInventory& inventory, std::size_t instance) {
  const std::string_view id = inventory.Id(instance);
  if (id.empty()) return AppendCode(out, inventory.Label(instance));
  AppendCode(out, inventory.Class(inventory.ClassOf(instance)).name);
  out += ' ';
  AppendCode(out, std::string(id));
}

void AppendValue(std::string& out, const TInventory::TProperty& property) {
  if (property.fault != EPropertyFault::None) {
    out += "<span class=\"value-null\">";
    out += property.fault == EPropertyFault::Lookup ? "GetProperty fails: " : "GetValue fails: ";
    AppendEscaped(out, StatusText(property.faultStatus));
    out += "</span>";
  } else if (property.value.IsNull()) {
    out += "<span class=\"value-null\">null</span>";
  } else {
    AppendHtmlText(out, property.value.ToString(10), kMaxValueBytes);
  }
}

// "The first 1000 of 208158 findings and advice are shown", and where the
// others are.
void AppendLeftOut(std::string& out, std::size_t shown, std::size_t total, const char* what,
                   const char* others = "") {
  if (shown < total)
    out += "<p class=\"capped\">The first " + std::to_string(shown) + " of " +
           std::to_string(total) + ' ' + what + " are shown" + others + ".</p>\n";
}

// The instance a line concerns, with its properties.
void AppendEvidence(std::string& out, const TInventory& inventory,
                    const std::optional<std::size_t>& instance) {
  if (!instance) {
    out += "<p class=\"evidence muted\">No instance was read before this line.</p>\n";
    return;
  }
  const std::vector<TInventory::TProperty> properties = inventory.Properties(*instance);
  out += "<div class=\"evidence\"><p>Read last before this line: ";
  AppendInstanceName(out, inventory, *instance);
  out += properties.empty() ? ", which has no properties.</p>" : "</p>\n<dl>";
  const std::size_t shown = std::min(properties.size(), kShownProperties);
  for (std::size_t i = 0; i < shown; ++i) {
    out += "<div><dt>";
    AppendText(out, properties[i].name);
    out += "</dt><dd>";
    AppendValue(out, properties[i]);
    out += "</dd></div>\n";
  }
  if (!properties.empty()) out += "</dl>";
  AppendLeftOut(out, shown, properties.size(), "properties");
  out += "</div>\n";
}

// --- Lines ---

const char* LevelName(std::int32_t level) {
  switch (level) {
    case NQELZARN20::kLevelFinding:
      return "Finding";
    case NQELZARN20::kLevelAdvice:
      return "Advice";
    case NQELZARN20::kLevelError:
      return "Error";
    case NQELZARN20::kLevelDiagnostic:
      return "Diagnostic";
  }
  return nullptr;
}

// A text of several lines reads as a block without the empty lines that
// open and close it, as the advice's do.
std::string WithoutOuterBreaks(const std::string& text) {
  const std::size_t first = text.find_first_not_of('\n');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of('\n') - first + 1);
}

// The style of a level's lines: findings, advice and errors each their own.
std::string LevelStyle(std::int32_t level) {
  const bool own = level == NQELZARN20::kLevelFinding || level == NQELZARN20::kLevelAdvice ||
                   level == NQELZARN20::kLevelError;
  return own ? "level-" + std::to_string(level) : "level-other";
}

void AppendLine(std::string& out, const TInventory* inventory, const TReportedLine& line) {
  const char* name = LevelName(line.level);
  const std::string level = std::to_string(line.level);
  out += "<li class=\"" + LevelStyle(line.level) + "\" data-level=\"" + level +
         "\"><span class=\"badge\">" + (name ? name : "Level " + level) +
         "</span>\n<p class=\"text\">";
  AppendHtmlLines(out, WithoutOuterBreaks(line.text), kMaxTextBytes);
  out += "</p>\n";
  if (inventory) AppendEvidence(out, *inventory, line.instance);
  out += "</li>\n";
}

void AppendLines(std::string& out, const TInventory* inventory, const TLineList& list,
                 const char* what) {
  AppendLeftOut(out, list.shown.size(), list.total, what,
                "; <code>zarn analyze</code> lists them all");
  out += "<ol class=\"lines\">\n";
  for (const TReportedLine& line : list.shown) AppendLine(out, inventory, line);
  out += "</ol>\n";
}

// --- The inventory's facts ---

std::string SystemText(const TInventory& inventory) {
  if (inventory.OperatingSystemTypeFault())
    return "not known: asking for it fails with " +
           StatusText(*inventory.OperatingSystemTypeFault());
  if (!inventory.OperatingSystemType()) return "not recorded";
  const std::uint16_t type = *inventory.OperatingSystemType();
  std::string text = "operating-system type " + std::to_string(type);
  for (const auto& name : kSystemNames) {
    if (name.first == type) text += std::string(" (") + name.second + ")";
  }
  return text;
}

void AppendFact(std::string& out, const char* term, const std::string& html) {
  out += std::string("<dt>") + term + "</dt><dd>" + html + "</dd>\n";
}

std::string Html(const std::string& text) {
  std::string html;
  AppendText(html, text);
  return html;
}

void AppendCollectionFacts(std::string& out, const TInventory& inventory) {
  if (!inventory.Collection()) {
    AppendFact(out, "Collected", "not recorded: the inventory has no collection record");
    return;
  }
  const NZARNCORE::TCollectionRecord& record = *inventory.Collection();
  AppendFact(out, "Host",
             record.host.empty() ? "<span class=\"muted\">not recorded</span>" : Html(record.host));
  AppendFact(out, "Collected",
             Html(record.time) + " by " + Html(record.collector + " " + record.version));
}

void AppendFacts(std::string& out, const TInventoryReport& report) {
  out += "<dl class=\"facts\">\n";
  AppendFact(out, "Inventory", "<code>" + Html(report.name) + "</code>");
  if (report.inventory) {
    const TInventory& inventory = *report.inventory;
    AppendFact(out, "System", Html(SystemText(inventory)));
    AppendCollectionFacts(out, inventory);
    AppendFact(out, "Contents",
               Plural(inventory.ClassCount(), "class", "classes") + ", " +
                   Plural(inventory.InstanceCount(), "instance", "instances") + ", " +
                   Plural(inventory.AssociationCount(), "association", "associations"));
  }
  std::string status;
  AppendBadge(status, report.status);
  AppendFact(out, "Status", status + ' ' + LookOf(report.status).verdict);
  out += "</dl>\n";
}

void AppendCounts(std::string& out, const TLineCounts& counts) {
  const std::pair<std::size_t, const char*> parts[] = {{counts.findings, "findings"},
                                                       {counts.advice, "advice"},
                                                       {counts.errors, "errors"},
                                                       {counts.diagnostics, "diagnostics"},
                                                       {counts.otherLevels, "other levels"}};
  out += "<ul class=\"counts\" aria-label=\"Lines by level\">";
  for (const auto& part : parts) {
    if (part.first != 0 || part.second != parts[4].second)
      out += "<li><strong>" + std::to_string(part.first) + "</strong> " + part.second + "</li>";
  }
  out += "</ul>\n";
}

// What keeps the analysis from being whole, where the reader sees it first.
void AppendNotices(std::string& out, const TInventoryReport& report) {
  if (!report.problems.empty()) {
    out += "<div class=\"notice failed\">";
    for (const std::string& problem : report.problems) out += "<p>" + Html(problem) + "</p>";
    out += "</div>\n";
  }
  if (!report.inventory || !report.inventory->Collection()) return;
  std::string unread;
  for (const NZARNCORE::TCollectedClass& cls : report.inventory->Collection()->classes) {
    if (NZARNCORE::ReadInFull(cls.state)) continue;
    unread += "<p><code>" + Html(cls.name) + "</code> " + CollectionStatePhrase(cls.state) + ": " +
              Html(cls.reason) + "</p>";
  }
  if (!unread.empty())
    out +=
        "<div class=\"notice\"><p>What the analysis saw is short of what the machine holds:</p>" +
        unread + "</div>\n";
}

// --- Tables ---

void AppendCollection(std::string& out, int depth, const TInventory& inventory) {
  Heading(out, depth, "Collection");
  if (!inventory.Collection()) {
    out +=
        "<p>The inventory has no collection record: how its classes were come by is not "
        "known.</p>\n";
    return;
  }
  out +=
      "<div class=\"table-wrap\" tabindex=\"0\">"
      "<table><caption>How each class was collected</caption>\n<thead><tr><th "
      "scope=\"col\">Class</th><th scope=\"col\">State</th><th scope=\"col\">Source</th><th "
      "scope=\"col\">Reason</th></tr></thead>\n<tbody>";
  for (const NZARNCORE::TCollectedClass& cls : inventory.Collection()->classes) {
    const bool whole = NZARNCORE::ReadInFull(cls.state);
    out += "<tr><td><code>" + Html(cls.name) + "</code></td><td>" +
           (whole ? "" : "<span class=\"badge incomplete\">") + CollectionStatePhrase(cls.state) +
           (whole ? "" : "</span>") + "</td><td>" + Html(cls.source) + "</td><td>" +
           Html(cls.reason) + "</td></tr>\n";
  }
  out += "</tbody></table></div>\n";
}

// The properties that the rows have, in the order they first come.
std::vector<std::string> Columns(const std::vector<std::vector<TInventory::TProperty>>& rows,
                                 std::size_t& total) {
  std::vector<std::string> columns;
  for (const auto& row : rows) {
    for (const TInventory::TProperty& property : row) {
      if (std::find(columns.begin(), columns.end(), property.name) == columns.end())
        columns.push_back(property.name);
    }
  }
  total = columns.size();
  columns.resize(std::min(columns.size(), kShownProperties));
  return columns;
}

void AppendAssociated(std::string& out, const TInventory& inventory, std::size_t instance) {
  const auto& associated = inventory.Associated(instance);
  const std::size_t shown = std::min(associated.size(), kShownAssociations);
  for (std::size_t i = 0; i < shown; ++i) {
    if (i != 0) out += ", ";
    AppendCode(out, inventory.Label(associated[i]));
  }
  if (shown < associated.size())
    out += ", and " + std::to_string(associated.size() - shown) + " more";
}

void AppendRow(std::string& out, const TInventory& inventory, std::size_t instance,
               const std::vector<TInventory::TProperty>& properties,
               const std::vector<std::string>& columns) {
  out += "<tr><th scope=\"row\">";
  AppendCode(out, inventory.Label(instance));
  out += "</th>";
  for (const std::string& column : columns) {
    out += "<td>";
    const auto found = std::find_if(properties.begin(), properties.end(),
                                    [&column](const auto& p) { return p.name == column; });
    if (found != properties.end()) AppendValue(out, *found);
    out += "</td>";
  }
  out += "<td>";
  AppendAssociated(out, inventory, instance);
  out += "</td></tr>\n";
}

void AppendInstanceTable(std::string& out, const TInventory& inventory,
                         const TInventory::TClass& cls) {
  const std::size_t shown = std::min(cls.instances.size(), kShownRows);
  std::vector<std::vector<TInventory::TProperty>> rows;
  for (std::size_t i = 0; i < shown; ++i) rows.push_back(inventory.Properties(cls.instances[i]));
  std::size_t total = 0;
  const std::vector<std::string> columns = Columns(rows, total);
  out += "<div class=\"table-wrap\" tabindex=\"0\"><table class=\"sortable\"><caption><code>" +
         Html(cls.name) + "</code>: " + Plural(cls.instances.size(), "instance", "instances") +
         "</caption>\n<thead><tr><th scope=\"col\">Instance</th>";
  for (const std::string& column : columns) out += "<th scope=\"col\">" + Html(column) + "</th>";
  out += "<th scope=\"col\">Associated with</th></tr></thead>\n<tbody>";
  for (std::size_t i = 0; i < shown; ++i)
    AppendRow(out, inventory, cls.instances[i], rows[i], columns);
  out += "</tbody></table></div>\n";
  AppendLeftOut(out, shown, cls.instances.size(), "instances");
  AppendLeftOut(out, columns.size(), total, "properties");
}

void AppendClassTable(std::string& out, const TInventory& inventory, const char* className) {
  const TInventory::TClass* cls = inventory.FindClass(className);
  if (!cls) {
    out += std::string("<p>The inventory has no <code>") + className + "</code> class.</p>\n";
  } else if (cls->fault != NZARNCORE::EClassFault::None) {
    out += std::string("<p><code>") + className + "</code>: " +
           (cls->fault == NZARNCORE::EClassFault::Lookup ? "looking it up" : "enumerating it") +
           " fails with " + Html(StatusText(cls->faultStatus)) + ".</p>\n";
  } else if (cls->instances.size() == 0) {
    out += std::string("<p><code>") + className + "</code>: no instances.</p>\n";
  } else {
    AppendInstanceTable(out, inventory, *cls);
  }
}

void AppendHardware(std::string& out, int depth, const TInventory& inventory) {
  for (const THardwareTable& table : kHardwareTables) {
    if (table.heading) Heading(out, depth, table.heading);
    AppendClassTable(out, inventory, table.className);
  }
}

// --- The page ---

std::string PageStart(const std::string& titleHtml) {
  return std::string(
             "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
             "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
             "style-src '") +
         kPageStyleHash + "'; script-src '" + kPageScriptHash +
         "'; base-uri 'none'; form-action 'none'\">\n"
         "<meta name=\"referrer\" content=\"no-referrer\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<meta name=\"generator\" content=\"zarn " ZARN_VERSION "\">\n<title>" +
         titleHtml + "</title>\n<style>" + kPageStyle + "</style>\n</head>\n<body>\n<main>\n";
}

std::string PageEnd() {
  return std::string("</main>\n<footer class=\"muted\"><p>Written by zarn " ZARN_VERSION
                     " report.</p></footer>\n<script>") +
         kPageScript + "</script>\n</body>\n</html>\n";
}

std::string HostOrName(const TInventorySummary& record) {
  return record.host.empty() ? record.path : record.host + " \xE2\x80\x94 " + record.path;
}

void AppendOverviewRow(std::string& out, const TReportMember& member, std::size_t number) {
  const TInventorySummary& record = member.record;
  out += "<tr><td data-sort=\"" + std::to_string(StatusRank(record.status)) + "\">";
  AppendBadge(out, record.status);
  out += "</td><td><a href=\"#inventory-" + std::to_string(number) + "\"><code>" +
         Html(record.path) + "</code></a></td><td>" + Html(record.host) + "</td>";
  const TLineCounts counts = record.counts.value_or(TLineCounts());
  for (const std::size_t count :
       {counts.findings, counts.advice, counts.errors, counts.diagnostics})
    out += "<td class=\"number\">" + (record.counts ? std::to_string(count) : "") + "</td>";
  out += "</tr>\n";
}

void AppendMember(std::string& out, const TReportMember& member, std::size_t number) {
  const std::string id = "inventory-" + std::to_string(number);
  out += "<section class=\"inventory\" id=\"" + id + "\" aria-labelledby=\"" + id +
         "-title\">\n<h2 id=\"" + id + "-title\">";
  AppendBadge(out, member.record.status);
  out += ' ' + Html(HostOrName(member.record)) + "</h2>\n" + member.part +
         "<p class=\"back\"><a href=\"#overview\">Back to the overview</a></p>\n</section>\n";
}

std::string Tally(const std::vector<TReportMember>& members) {
  std::string text = Plural(members.size(), "inventory", "inventories") + ":";
  const char* last = nullptr;
  std::size_t count = 0;
  // The members come worst first, so each word's inventories come together.
  for (const TReportMember& member : members) {
    const char* word = LookOf(member.record.status).tally;
    if (last && std::string_view(word) != last) {
      text += ' ' + std::to_string(count) + ' ' + last + ',';
      count = 0;
    }
    last = word;
    ++count;
  }
  text += ' ' + std::to_string(count) + ' ' + last + '.';
  return text;
}

}  // namespace

std::string InventoryPart(const TInventoryReport& report, int depth) {
  std::string out;
  AppendFacts(out, report);
  if (report.lines) AppendCounts(out, report.lines->Counts());
  AppendNotices(out, report);
  if (report.lines) {
    Heading(out, depth, "Findings");
    if (report.lines->Findings().total == 0) out += "<p>No findings.</p>\n";
    if (report.lines->Findings().total != 0)
      AppendLines(out, report.inventory, report.lines->Findings(), "findings and advice");
    if (report.lines->Errors().total != 0) {
      Heading(out, depth, "Errors");
      AppendLines(out, report.inventory, report.lines->Errors(), "errors");
    }
  }
  if (!report.inventory) return out;
  AppendCollection(out, depth, *report.inventory);
  AppendHardware(out, depth, *report.inventory);
  if (report.lines && report.lines->Others().total != 0) {
    out += "<details><summary>Diagnostics (" + std::to_string(report.lines->Others().total) +
           ")</summary>\n";
    AppendLines(out, report.inventory, report.lines->Others(), "diagnostics");
    out += "</details>\n";
  }
  return out;
}

std::string InventoryPage(const TInventoryReport& report) {
  std::string name = report.name;
  if (report.inventory && report.inventory->Collection() &&
      !report.inventory->Collection()->host.empty())
    name = report.inventory->Collection()->host;
  std::string out = PageStart(Html(name) + " \xE2\x80\x94 zarn report");
  out += "<h1>Report on " + Html(name) + "</h1>\n";
  out += InventoryPart(report, 2);
  return out + PageEnd();
}

std::string OverviewPage(std::vector<TReportMember> members,
                         const std::vector<std::string>& notes) {
  // Worst first: by status, then the most findings and advice, then errors.
  const auto key = [](const TReportMember& m) {
    const TLineCounts counts = m.record.counts.value_or(TLineCounts());
    return std::make_tuple(StatusRank(m.record.status), ~(counts.findings + counts.advice),
                           ~counts.errors);
  };
  std::stable_sort(members.begin(), members.end(),
                   [&key](const auto& a, const auto& b) { return key(a) < key(b); });
  const std::string title = "Report on " + Plural(members.size(), "inventory", "inventories");
  std::string out = PageStart(title + " \xE2\x80\x94 zarn report");
  out += "<h1>" + title + "</h1>\n<p>" + Tally(members) + "</p>\n";
  if (!notes.empty()) {
    out += "<div class=\"notice failed\">";
    for (const std::string& note : notes) out += "<p>" + Html(note) + "</p>";
    out += "</div>\n";
  }
  out +=
      "<h2 id=\"overview\">Overview</h2>\n<div class=\"table-wrap\" role=\"region\" "
      "aria-labelledby=\"overview\" tabindex=\"0\"><table class=\"sortable\"><caption>Each "
      "inventory, worst first</caption>\n<thead><tr><th scope=\"col\">Status</th><th "
      "scope=\"col\">Inventory</th><th scope=\"col\">Host</th><th scope=\"col\" "
      "class=\"number\">Findings</th><th scope=\"col\" class=\"number\">Advice</th><th "
      "scope=\"col\" class=\"number\">Errors</th><th scope=\"col\" "
      "class=\"number\">Diagnostics</th></tr></thead>\n<tbody>";
  for (std::size_t i = 0; i < members.size(); ++i) AppendOverviewRow(out, members[i], i + 1);
  out += "</tbody></table></div>\n";
  for (std::size_t i = 0; i < members.size(); ++i) AppendMember(out, members[i], i + 1);
  return out + PageEnd();
}

}  // namespace NZARN
