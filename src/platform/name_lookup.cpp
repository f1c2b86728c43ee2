// Name lookups on threads of their own, the same on both builds: the threads
// are the platform's, the resolver is the system's (or a test's).
#include <algorithm>
#include <exception>
#include <mutex>
#include <vector>

#include "platform/immortal.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {

// What a lookup's thread shares with its asker, and all that it touches once
// its asker may be gone.
struct NameLookup::State {
  std::mutex lock;  // Guards done and address.
  bool done = false;
  std::string address;
  std::uint16_t port = 0;
};

namespace {

// The lookups' threads, kept until they have ended so that a stop can tell
// whether one still runs the module's code. Never destroyed: a lookup may
// still end while the process runs its exit handlers.
struct Registry {
  std::mutex lock;  // Guards everything below.
  std::vector<Thread> threads;
  NameResolver resolver_for_testing;
  ServiceResolver service_resolver_for_testing;
};

Registry& Lookups() {
  static Immortal<Registry> registry;
  return registry.Get();
}

// Lets go of the threads that have ended (wholly: a thread that has only set
// its answer still runs). The registry's lock is held.
void ForgetEndedThreads(Registry& registry) {
  std::erase_if(registry.threads, [](Thread& thread) { return thread.WaitForEnd(0); });
}

constexpr std::uint32_t kAddressNone = 0xFFFFFFFF;  // INADDR_NONE

struct Resolvers {
  NameResolver name;
  ServiceResolver service;
};

struct Answer {
  std::string address;
  std::uint16_t port = 0;
};

// On the lookup's thread: the service record first, if one is asked for;
// the host it names, on its port, when there is one; the host itself
// otherwise.
Answer Resolve(const LookupQuery& query, const Resolvers& resolvers) {
  const auto resolve = [&resolvers](std::u16string_view host) {
    return resolvers.name ? resolvers.name(host) : ResolveHostIpv4(host);
  };
  if (!query.srv_service.empty()) {
    const std::u16string name = query.srv_service + query.host;
    const std::optional<ServiceRecord> record =
        resolvers.service ? resolvers.service(name) : LookUpServiceRecord(name);
    if (record) return {resolve(record->target), record->port};
  }
  return {resolve(query.host), 0};
}

}  // namespace

std::optional<std::uint32_t> DottedIpv4(std::u16string_view host) {
  std::string ascii;
  for (const char16_t c : host) {
    if (c == 0 || c > 0x7F) return std::nullopt;
    ascii.push_back(static_cast<char>(c));
  }
  const std::uint32_t address = ParseIpv4(ascii);
  // 255.255.255.255 reads as INADDR_NONE too; the resolver gives it back.
  if (ascii.empty() || address == kAddressNone) return std::nullopt;
  return address;
}

bool NameLookup::Start(LookupQuery query, std::shared_ptr<AutoResetEvent> done) {
  Registry& registry = Lookups();
  auto state = std::make_shared<State>();
  std::lock_guard lock(registry.lock);
  ForgetEndedThreads(registry);
  if (registry.threads.size() >= kMaxNameLookups) return false;
  try {
    Thread thread([state, done, query = std::move(query),
                   resolvers = Resolvers{registry.resolver_for_testing,
                                         registry.service_resolver_for_testing}] {
      Answer answer;
      try {
        answer = Resolve(query, resolvers);
      } catch (...) {
        // Out of memory: the name does not resolve.
        answer = {};
      }
      {
        std::lock_guard answer_lock(state->lock);
        state->address = std::move(answer.address);
        state->port = answer.port;
        state->done = true;
      }
      if (done) done->Set();
    });
    if (!thread.Started()) return false;
    registry.threads.push_back(std::move(thread));
  } catch (const std::exception&) {
    // The system gives no thread now.
    return false;
  }
  state_ = std::move(state);
  return true;
}

bool NameLookup::Done() const {
  if (!state_) return false;
  std::lock_guard lock(state_->lock);
  return state_->done;
}

std::string NameLookup::Address() const {
  if (!state_) return {};
  std::lock_guard lock(state_->lock);
  return state_->address;
}

std::uint16_t NameLookup::Port() const {
  if (!state_) return 0;
  std::lock_guard lock(state_->lock);
  return state_->port;
}

bool SettleNameLookups() {
  Registry& registry = Lookups();
  std::lock_guard lock(registry.lock);
  ForgetEndedThreads(registry);
  return registry.threads.empty();
}

void SetNameResolverForTesting(NameResolver resolver) {
  Registry& registry = Lookups();
  std::lock_guard lock(registry.lock);
  registry.resolver_for_testing = std::move(resolver);
}

void SetServiceResolverForTesting(ServiceResolver resolver) {
  Registry& registry = Lookups();
  std::lock_guard lock(registry.lock);
  registry.service_resolver_for_testing = std::move(resolver);
}

}  // namespace morvane::platform
