// The exception the mailbox classes throw for malformed bytes and misuse.
#pragma once

#include <exception>

#include "DrovoCommonExport.h"

// Carries one fixed text, so callers that catch std::exception read it through what().
// The text must be a string literal (or otherwise outlive the exception).
class DROVO_COMMON_API MailboxError : public std::exception {
  public:
    explicit MailboxError(const char* text) noexcept : m_text(text) {}
    const char* what() const noexcept override { return m_text; }

  private:
    const char* m_text;
};
