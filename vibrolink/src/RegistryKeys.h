// The small registry layer: answers whether a key exists under the current user.
//
// Linux has no registry and no Bluetooth stack that keeps one, so the answer is "no" unless a
// test has installed its own answer through the hook below.
#pragma once

// True when the key at path exists under the current user. Thread-safe.
bool CurrentUserRegistryKeyExists(const char* path);

// Internal test hook: answer with predicate instead, until called with nullptr. The predicate
// must be safe to call from any thread.
using RegistryKeyPredicate = bool (*)(const char* path);
void SetRegistryKeyPredicateForTesting(RegistryKeyPredicate predicate);
