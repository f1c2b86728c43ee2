#include "report_printer.h"

#include <algorithm>
#include <cstdio>

#include "common/text.h"

namespace morvane::ini {
namespace {

std::string U8(std::u16string_view text) { return Utf16ToUtf8(text); }

std::string Escape(char16_t unit) {
  switch (unit) {
    case u'\t':
      return "\\t";
    case u'\r':
      return "\\r";
    case u'\n':
      return "\\n";
    default: {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned>(unit));
      return buffer;
    }
  }
}

std::string Annotation(const ReportValue& value) {
  std::string origin;
  switch (value.origin) {
    case ValueOrigin::kFile:
      break;
    case ValueOrigin::kMissing:
      origin = "default";
      break;
    case ValueOrigin::kEmptyGivesDefault:
      origin = "default; the value is empty";
      break;
    case ValueOrigin::kNotAnInteger:
      origin = "default; \"" + U8(value.written) + "\" is not an integer";
      break;
  }
  if (!value.remark.empty()) origin += (origin.empty() ? "" : "; ") + value.remark;
  return origin.empty() ? "" : "  (" + origin + ")";
}

void PrintValues(const std::vector<ReportValue>& values, std::string& out) {
  std::size_t width = 0;
  for (const auto& value : values) width = std::max(width, value.key.size());
  for (const auto& value : values) {
    std::string key = U8(value.key);
    key.resize(std::max(key.size(), width), ' ');
    out += "  " + key + " = " + (value.is_text ? ShowText(value.value) : U8(value.value)) +
           Annotation(value) + "\n";
  }
}

std::string Plural(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

void PrintEncoding(const SettingsReport& report, std::string& out) {
  out += "Encoding: " + std::string(SettingsEncodingName(report.encoding));
  if (PluginReadsEncoding(report.encoding)) {
    out += " (the plug-in reads it)\n";
    return;
  }
  out +=
      "\nWARNING: the plug-in reads only UTF-16LE. It takes this file for garbage and uses\n"
      "the default of every key, as shown below. Convert the file with\n"
      "  morvane-ini write IN OUT\n"
      "and check the result again.\n";
}

void PrintAdministrators(const SettingsReport& report, std::string& out) {
  out +=
      "\nAdministrators (AdmUsers: who may send \"/reload\" in a private message; a user\n"
      "name or address, compared exactly):\n";
  for (std::size_t i = 0; i < report.admin_list.size(); ++i) {
    const std::u16string& entry = report.admin_list[i];
    out += "  " + std::to_string(i + 1) + ". " + ShowText(entry) +
           (entry.empty() ? "  (empty: admits no one)" : "") + "\n";
  }
}

void PrintEvents(const SettingsReport& report, std::string& out) {
  out += "\nEvents: " + Plural(report.events.size(), "event", "events") +
         " loaded; the table stops at Event_" + std::to_string(report.events.size()) + ": " +
         report.table_end + ".\n";
  if (report.virtual_user_refused && !report.events.empty()) {
    out += "(In virtual-user mode none of them is loaded: the plug-in refuses to start.)\n";
  }
  for (const EventReport& event : report.events) {
    out += "\n[" + U8(event.section) + "]\n";
    PrintValues(event.fields, out);
  }
}

void PrintFindings(const SettingsReport& report, std::string& out) {
  if (report.findings.empty()) return;
  out += "\nFindings:\n";
  for (const Finding& finding : report.findings) {
    out += finding.severity == Severity::kWarning ? "  WARNING " : "  note    ";
    if (!finding.where.empty()) out += finding.where + ": ";
    out += finding.text + "\n";
  }
}

}  // namespace

std::string ShowText(std::u16string_view text) {
  std::u16string visible;
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      out += U8(visible) + "\u23CE";
      visible.clear();
      ++i;
    } else if (text[i] < u' ' || text[i] == 0x7F) {
      out += U8(visible) + Escape(text[i]);
      visible.clear();
    } else {
      visible.push_back(text[i]);
    }
  }
  return out + U8(visible) + "\"";
}

std::string PrintReport(const SettingsReport& report, std::string_view path) {
  std::string out = "Settings file: " + std::string(path) + " (" +
                    Plural(report.byte_count, "byte", "bytes") + ")\n";
  PrintEncoding(report, out);
  out +=
      "\nTexts are shown in quotes as the plug-in stores them, after the markers:\n"
      "\":;\" became a line break (shown as \u23CE) and \"&&\" a space.\n";

  out += "\n[Main]\n";
  PrintValues(report.main, out);
  out += "\n[VirtUser] (used only when the host runs the plug-in as a virtual user)\n";
  PrintValues(report.virt_user, out);
  if (report.virtual_user_refused) {
    out += "  In virtual-user mode the plug-in refuses to start: Name or Password is empty.\n";
  }
  PrintAdministrators(report, out);
  PrintEvents(report, out);
  PrintFindings(report, out);

  const std::size_t warnings = report.WarningCount();
  if (warnings == 0) {
    out += "\nVerdict: no warnings. The plug-in reads this file as intended.\n";
  } else {
    out += "\nVerdict: " + Plural(warnings, "warning", "warnings") +
           ". The plug-in will not read this file as intended.\n";
  }
  return out;
}

}  // namespace morvane::ini
