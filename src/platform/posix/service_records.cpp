// Service records (DNS SRV) from the resolver library, with a resolver state
// of the lookup's own, so that lookups on several threads never share one.
#include <arpa/nameser.h>
#include <netinet/in.h>
#include <resolv.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "common/text.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

// A DNS message over UDP, or over TCP when the answer was cut: the largest
// the resolver gives back here.
constexpr int kMaxAnswerBytes = 65535;

struct Candidate {
  std::uint16_t priority = 0;
  std::uint16_t weight = 0;
  ServiceRecord record;
};

// Reads one SRV record's data: priority, weight, port (16 bits each) and the
// target's name, compressed against the message.
std::optional<Candidate> ReadServiceRecord(const ns_msg& message, const ns_rr& entry) {
  if (ns_rr_type(entry) != ns_t_srv || ns_rr_rdlen(entry) < 7) return std::nullopt;
  const unsigned char* data = ns_rr_rdata(entry);
  Candidate candidate;
  candidate.priority = static_cast<std::uint16_t>(ns_get16(data));
  candidate.weight = static_cast<std::uint16_t>(ns_get16(data + 2));
  candidate.record.port = static_cast<std::uint16_t>(ns_get16(data + 4));
  std::array<char, NS_MAXDNAME> target{};
  if (ns_name_uncompress(ns_msg_base(message), ns_msg_end(message), data + 6, target.data(),
                         target.size()) < 0) {
    return std::nullopt;
  }
  candidate.record.target = Utf8ToUtf16(target.data());
  return candidate;
}

}  // namespace

std::optional<ServiceRecord> LookUpServiceRecord(std::u16string_view name) {
  if (name.empty() || name.find(u'\0') != std::u16string_view::npos) return std::nullopt;
  const std::string query = Utf16ToUtf8(name);
  struct __res_state state;
  std::memset(&state, 0, sizeof state);
  if (res_ninit(&state) != 0) return std::nullopt;
  std::vector<unsigned char> answer(kMaxAnswerBytes);
  const int length = res_nquery(&state, query.c_str(), ns_c_in, ns_t_srv, answer.data(),
                                static_cast<int>(answer.size()));
  res_nclose(&state);
  if (length <= 0) return std::nullopt;
  ns_msg message;
  if (ns_initparse(answer.data(), std::min(length, kMaxAnswerBytes), &message) != 0) {
    return std::nullopt;
  }
  std::optional<Candidate> best;
  for (int i = 0; i < ns_msg_count(message, ns_s_an); ++i) {
    ns_rr entry;
    if (ns_parserr(&message, ns_s_an, i, &entry) != 0) break;
    const std::optional<Candidate> candidate = ReadServiceRecord(message, entry);
    if (!candidate) continue;
    if (!best || candidate->priority < best->priority ||
        (candidate->priority == best->priority && candidate->weight > best->weight)) {
      best = candidate;
    }
  }
  // A target of "." (uncompressed as the empty name) says the service is
  // not offered on the host.
  if (!best || best->record.target.empty() || best->record.target == u".") return std::nullopt;
  return best->record;
}

}  // namespace morvane::platform
