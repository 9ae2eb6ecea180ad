#include "RegistryKeys.h"

#include <atomic>

namespace {

std::atomic<RegistryKeyPredicate> g_predicate{nullptr};

}  // namespace

bool CurrentUserRegistryKeyExists(const char* path) {
    RegistryKeyPredicate predicate = g_predicate.load();
    return predicate && predicate(path);
}

void SetRegistryKeyPredicateForTesting(RegistryKeyPredicate predicate) {
    g_predicate.store(predicate);
}
