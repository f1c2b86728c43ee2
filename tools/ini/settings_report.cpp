#include "ini/settings_report.h"

#include <algorithm>
#include <string>

#include "common/text.h"
#include "ini/settings_report_builder.h"
#include "ini/settings_report_names.h"
#include "settings/ini_file.h"

namespace morvane {
namespace report_detail {
namespace {

constexpr std::u16string_view kMain = u"Main";
constexpr std::u16string_view kVirtUser = u"VirtUser";

}  // namespace

std::string ReplyModeMeaning(std::int32_t mode) {
  switch (mode) {
    case 0:
      return "a channel message";
    case 1:
      return "a channel message with the type flag set";
    case 2:
      return "a private message";
    case 3:
      return "the host's third delivery form";
    default:
      return "not a reply mode: the reply is never delivered";
  }
}

void ReportBuilder::Add(Severity severity, FindingKind kind, std::string where, std::string text) {
  report_.findings.push_back({severity, kind, std::move(where), std::move(text)});
}

void ReportBuilder::AddText(std::vector<ReportValue>& out, std::u16string_view section,
                            std::u16string_view key, const std::u16string& stored,
                            TextHandling handling, std::string remark) {
  ReportValue value{std::u16string(key), stored, true, ValueOrigin::kFile, {}, std::move(remark)};
  auto written = file_.Value(section, key);
  if (!written) {
    value.origin = ValueOrigin::kMissing;
  } else if (written->empty() && handling == TextHandling::kMarkersEmptyGivesDefault) {
    value.origin = ValueOrigin::kEmptyGivesDefault;
  }
  out.push_back(std::move(value));
}

void ReportBuilder::AddNumber(std::vector<ReportValue>& out, std::u16string_view section,
                              std::u16string_view key, std::u16string shown, std::string remark) {
  ReportValue value{std::u16string(key), std::move(shown), false, ValueOrigin::kFile, {},
                    std::move(remark)};
  auto written = file_.Value(section, key);
  if (!written) {
    value.origin = ValueOrigin::kMissing;
  } else if (!ParseInt32(*written)) {
    value.origin = ValueOrigin::kNotAnInteger;
    value.written = std::u16string(*written);
    Add(Severity::kWarning, FindingKind::kNotAnInteger, Where(section, key),
        Quoted(*written) +
            " is not an integer (decimal, or hexadecimal after $ or 0x, within 32 bits), so "
            "the plug-in uses the default, " +
            U8(value.value) + ".");
  }
  out.push_back(std::move(value));
}

void ReportBuilder::CheckTimeOut(std::u16string_view section, std::int32_t timeout,
                                 TimeOutUse use) {
  if (timeout > 0) return;
  // A game server is asked over UDP, whose wait takes 0 as no limit and a
  // negative value as a huge unsigned one; the TCP probe polls once for 0
  // and fails at once for a negative value.
  std::string text;
  if (use != TimeOutUse::kTcp) {
    text = timeout == 0 ? "0 means no limit: a game server that never answers holds the worker, "
                          "and every request after it waits, for as long as the plug-in runs."
                        : "a negative time-out is taken as a huge one (about 49 days): a game "
                          "server that never answers holds the worker.";
  }
  if (use != TimeOutUse::kUdp) {
    if (!text.empty()) text += " For \"tcp\": ";
    text += timeout == 0 ? "0 checks the port once without waiting, so it almost always shows "
                           "as offline."
                         : "a negative time-out makes every probe fail, and nothing is posted.";
  }
  Add(Severity::kWarning, FindingKind::kTimeOut, Where(section, u"TimeOut"), text);
}

namespace {

// What a [Main] value means, where a sentence helps.
std::string MainRemark(const MainSettings& main, std::u16string_view key) {
  if (key == u"ChScanEn") {
    return main.ChScanEn ? "\"/gs\" is answered in channels" : "\"/gs\" is ignored in channels";
  }
  if (key == u"PmScanEn") {
    return main.PmScanEn ? "\"/gs\" is answered in private messages"
                         : "\"/gs\" is ignored in private messages";
  }
  if (key == u"MsgType") {
    return "channel replies to \"/gs\" are " + ReplyModeMeaning(main.MsgType ? 1 : 0);
  }
  if (key == u"Delay") {
    return main.Delay <= 0 ? "no least time between two \"/gs\" commands"
                           : "seconds between two accepted \"/gs\" commands";
  }
  if (key == u"TimeOut") return "milliseconds per server";
  if (key == u"MaxQueue") return "requests waiting at most";
  if (key == u"MaxAddr") {
    return main.MaxAddr <= 0 ? "no limit on the addresses of one \"/gs\""
                             : "addresses at most in one \"/gs\"; a longer list is ignored";
  }
  if (key == u"Parallel") {
    return main.Parallel <= 1 ? "the addresses of a request are asked one after another"
                              : "addresses of one request asked at once";
  }
  if (key == u"Requests") {
    return main.Requests <= 1 ? "requests are served one after another, in queue order"
                              : "requests served at once, sharing the Parallel places in flight";
  }
  if (key == u"Retries") {
    return main.Retries <= 0 ? "a query that gets no answer is not sent again"
                             : "times a query that gets no answer is sent again";
  }
  if (key == u"MaxPlayers") {
    return main.MaxPlayers <= 0 ? "no limit on the player lines of one server"
                                : "player lines at most per server; then one line says how many "
                                  "more there are";
  }
  if (key == u"MaxReply") {
    return main.MaxReply <= 0 ? "no limit on the length of a reply"
                              : "characters at most in one reply; a longer one is cut after its "
                                "last whole line that fits, and ends with CutText";
  }
  if (key == u"PlTitle" && main.PlTitle.empty()) return "empty: player lists have no header";
  return {};
}

}  // namespace

void ReportBuilder::AddKey(std::vector<ReportValue>& out, std::u16string_view section,
                           const SettingKey& key, std::u16string stored, std::string remark) {
  if (key.type == KeyType::kText) {
    AddText(out, section, key.name, stored, key.handling, std::move(remark));
    return;
  }
  AddNumber(out, section, key.name, std::move(stored), std::move(remark));
}

void ReportBuilder::ReadMain(const MainSettings& main) {
  for (const SettingKey& key : KeysOf(KeySection::kMain)) {
    // AdmUsers has no value of its own: the admin list shows it.
    if (std::holds_alternative<std::monostate>(key.field)) continue;
    AddKey(report_.main, kMain, key, StoredValue(main, key), MainRemark(main, key.name));
  }

  CheckTimeOut(kMain, main.TimeOut, TimeOutUse::kEveryKind);
  CheckPlaceholders(kMain, u"Format", main.Format, TemplateRole::kSummary);
  CheckPlaceholders(kMain, u"OfflineFormat", main.OfflineFormat, TemplateRole::kOffline);
  CheckPlaceholders(kMain, u"TCPFormat", main.TCPFormat, TemplateRole::kOnline);
  CheckPlaceholders(kMain, u"PlFormat", main.PlFormat, TemplateRole::kPlayerLine);
  CheckPlaceholders(kMain, u"PlTitle", main.PlTitle, TemplateRole::kHeader);
  CheckPlaceholders(kMain, u"PlMoreFormat", main.PlMoreFormat, TemplateRole::kMorePlayers);
  CheckPlaceholders(kMain, u"CutText", main.CutText, TemplateRole::kFixed);
  CheckPlaceholders(kMain, u"PlHiddenText", main.PlHiddenText, TemplateRole::kOnline);
  if (main.MaxQueue <= 0) {
    Add(Severity::kWarning, FindingKind::kQueueRefusesAll, Where(kMain, u"MaxQueue"),
        "0 or less refuses every request: no \"/gs\" and no event is ever answered.");
  }
  CheckListPieces(main.Channels, Where(kMain, u"Channels"), FindingKind::kChannels,
                  "the plug-in joins a channel with an empty name",
                  "the plug-in joins the channel with those spaces in its name");
}

void ReportBuilder::CheckListPieces(std::u16string_view list, const std::string& where,
                                    FindingKind kind, const std::string& empty_effect,
                                    const std::string& spaces_effect) {
  const auto pieces = SplitKeepingEmpty(list, u'|');
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const std::u16string& piece = pieces[i];
    const std::string which = "entry " + std::to_string(i + 1) + " of " + Quoted(list);
    if (piece.empty()) {
      Add(Severity::kWarning, kind, where, which + " is empty: " + empty_effect + ".");
    } else if (TrimControlAndSpace(piece) != piece) {
      Add(Severity::kWarning, kind, where,
          which + ", " + Quoted(piece) + ", begins or ends with a space: " + spaces_effect + ".");
    }
  }
}

void ReportBuilder::ReadVirtUser(const VirtUserValues& user) {
  for (const SettingKey& key : KeysOf(KeySection::kVirtUser)) {
    AddKey(report_.virt_user, kVirtUser, key, StoredValue(user, key));
  }
  for (std::u16string_view key : {u"Name", u"Password"}) {
    auto written = file_.Value(kVirtUser, key);
    if (written && written->empty()) {
      report_.virtual_user_refused = true;
      Add(Severity::kWarning, FindingKind::kEmptyVirtUser, Where(kVirtUser, key),
          "present but empty: when the host runs the plug-in as a virtual user, the plug-in "
          "refuses to start (and \"/reload\" leaves it with no events).");
    }
  }
}

void ReportBuilder::ReadAdminList(const std::vector<std::u16string>& admin_list) {
  report_.admin_list = admin_list;
  const bool nobody = std::all_of(admin_list.begin(), admin_list.end(),
                                  [](const std::u16string& entry) { return entry.empty(); });
  if (nobody) {
    Add(Severity::kNote, FindingKind::kAdminList, Where(kMain, u"AdmUsers"),
        "no administrator: no one may send \"/reload\" (an empty entry admits no one).");
    return;
  }
  const auto written = file_.Value(kMain, u"AdmUsers").value_or(u"");
  for (std::size_t i = 0; i < admin_list.size(); ++i) {
    const std::string which = "entry " + std::to_string(i + 1) + " of " + Quoted(written);
    if (admin_list[i].empty()) {
      Add(Severity::kNote, FindingKind::kAdminList, Where(kMain, u"AdmUsers"),
          which + " is empty: it admits no one.");
    } else if (TrimControlAndSpace(admin_list[i]) != admin_list[i]) {
      Add(Severity::kWarning, FindingKind::kAdminList, Where(kMain, u"AdmUsers"),
          which + ", " + Quoted(admin_list[i]) +
              ", begins or ends with a space: it matches only a user name or address with "
              "that space.");
    }
  }
}

}  // namespace report_detail

namespace {

using namespace report_detail;

void AddEncodingFindings(std::span<const std::uint8_t> bytes, SettingsReport& report,
                         std::size_t decoded_units) {
  if (report.encoding == SettingsEncoding::kEmpty) {
    report.findings.push_back({Severity::kNote, FindingKind::kEncoding, "",
                               "the file is empty: every key takes its default."});
    return;
  }
  if (!PluginReadsEncoding(report.encoding)) {
    report.findings.push_back(
        {Severity::kWarning, FindingKind::kEncoding, "",
         "the file is " + std::string(SettingsEncodingName(report.encoding)) +
             ", but the plug-in reads only UTF-16LE: it finds no section in it and uses the "
             "default of every key. Convert it with \"morvane-ini write IN OUT\"."});
    return;
  }
  const std::size_t mark = report.encoding == SettingsEncoding::kUtf16LeWithMark ? 2 : 0;
  const std::size_t units = (bytes.size() - mark) / 2;
  if (decoded_units < units) {
    const std::size_t offset = mark + decoded_units * 2;
    report.findings.push_back({Severity::kWarning, FindingKind::kTextCut, "",
                               "a NUL character at byte " + std::to_string(offset) +
                                   " ends the text for the plug-in: the " +
                                   std::to_string(bytes.size() - offset) +
                                   " bytes after it are never read."});
  }
  if ((bytes.size() - mark) % 2 == 1) {
    report.findings.push_back({Severity::kNote, FindingKind::kOddByte, "",
                               "the file has an odd number of bytes: the last one is no "
                               "UTF-16 code unit and is ignored."});
  }
}

// Findings are listed in the order a person reads the file: the file as a
// whole, then [Main], [VirtUser], the events by number, any other section
// last.
std::size_t SectionRank(const std::string& where) {
  constexpr std::size_t kLast = static_cast<std::size_t>(-1);
  if (where.empty() || where.front() != '[') return 0;
  const std::size_t close = where.find(']');
  if (close == std::string::npos) return kLast;
  std::string name = where.substr(1, close - 1);
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (name == "main") return 1;
  if (name == "virtuser") return 2;
  const std::string_view prefix = "event_";
  const std::string_view digits =
      std::string_view(name).substr(std::min(name.size(), prefix.size()));
  if (!name.starts_with(prefix) || digits.empty() || digits.size() > 9 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return kLast;
  }
  return 3 + static_cast<std::size_t>(std::stoul(std::string(digits)));
}

}  // namespace

std::size_t SettingsReport::WarningCount() const {
  return static_cast<std::size_t>(
      std::count_if(findings.begin(), findings.end(),
                    [](const Finding& finding) { return finding.severity == Severity::kWarning; }));
}

const ReportValue* FindReportValue(const std::vector<ReportValue>& values,
                                   std::u16string_view key) {
  for (const ReportValue& value : values) {
    if (value.key == key) return &value;
  }
  return nullptr;
}

SettingsReport InspectSettings(std::span<const std::uint8_t> bytes) {
  SettingsReport report;
  report.encoding = DetectSettingsEncoding(bytes);
  report.byte_count = bytes.size();

  // The same decoding, parser and readers as LoadSettings.
  const std::u16string text = DecodeSettingsText(bytes);
  const ParsedSettings parsed = ParseForReport(text);
  const IniFile& file = parsed.file;
  const SettingsValues values = ReadSettingsValues(file, /*virtual_user_mode=*/false);
  const SettingsValues virtual_values = ReadSettingsValues(file, /*virtual_user_mode=*/true);

  AddEncodingFindings(bytes, report, text.size());
  ReportBuilder builder(file, report);
  builder.ReadMain(values.main);
  builder.ReadVirtUser(virtual_values.virt_user);
  builder.ReadAdminList(values.admin_list);
  for (std::size_t n = 0; n < values.events.size(); ++n) builder.ReadEvent(n, values.events[n]);
  builder.ReadTableEnd(values.events.size());
  // A file the plug-in misreads holds no names worth checking: its text is
  // garbage to the plug-in, and so are its lines.
  if (PluginReadsEncoding(report.encoding)) {
    AddNameFindings(text, parsed, values.events.size(), report.table_end, report.findings);
  }
  std::stable_sort(report.findings.begin(), report.findings.end(),
                   [](const Finding& a, const Finding& b) {
                     return SectionRank(a.where) < SectionRank(b.where);
                   });
  return report;
}

}  // namespace morvane
