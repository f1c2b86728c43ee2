// Service records (DNS SRV) from the system's DNS client (DnsQuery_W in
// DNSAPI.DLL, a system DLL).
// winsock2.h before windows.h, and windows.h before windns.h.
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <windns.h>
// clang-format on

#include <optional>
#include <string>

#include "platform/program_support.h"

namespace morvane::platform {

std::optional<ServiceRecord> LookUpServiceRecord(std::u16string_view name) {
  if (name.empty() || name.find(u'\0') != std::u16string_view::npos) return std::nullopt;
  const std::wstring query(name.begin(), name.end());
  PDNS_RECORDW records = nullptr;
  if (DnsQuery_W(query.c_str(), DNS_TYPE_SRV, DNS_QUERY_STANDARD, nullptr,
                 reinterpret_cast<PDNS_RECORD*>(&records), nullptr) != 0 ||
      records == nullptr) {
    return std::nullopt;
  }
  std::optional<ServiceRecord> best;
  WORD best_priority = 0;
  WORD best_weight = 0;
  // The answer may hold other records (the targets' addresses) beside the
  // service records.
  for (const DNS_RECORDW* entry = records; entry != nullptr; entry = entry->pNext) {
    if (entry->wType != DNS_TYPE_SRV || entry->Data.SRV.pNameTarget == nullptr) continue;
    const DNS_SRV_DATAW& data = entry->Data.SRV;
    if (best && (data.wPriority > best_priority ||
                 (data.wPriority == best_priority && data.wWeight <= best_weight))) {
      continue;
    }
    const std::wstring target(data.pNameTarget);
    best = ServiceRecord{std::u16string(target.begin(), target.end()), data.wPort};
    best_priority = data.wPriority;
    best_weight = data.wWeight;
  }
  DnsRecordListFree(reinterpret_cast<PDNS_RECORD>(records), DnsFreeRecordList);
  // A target of "." says the service is not offered on the host.
  if (!best || best->target.empty() || best->target == u".") return std::nullopt;
  return best;
}

}  // namespace morvane::platform
