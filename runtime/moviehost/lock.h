// A critical section and its scoped holder.
#pragma once

#include <windows.h>

namespace nxr {

class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&section_); }
  ~CriticalSection() { DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void enter() { EnterCriticalSection(&section_); }
  void leave() { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

class SectionGuard {
 public:
  explicit SectionGuard(CriticalSection& section) : section_(section) { section_.enter(); }
  ~SectionGuard() { section_.leave(); }
  SectionGuard(const SectionGuard&) = delete;
  SectionGuard& operator=(const SectionGuard&) = delete;

 private:
  CriticalSection& section_;
};

}  // namespace nxr
