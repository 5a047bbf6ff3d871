// Typed, bounds-checked access to the board's SMBIOS structure table. One
// copy of the table per provider; the first load wins and stays for the
// provider's life. A derived class says where a table comes from when a
// lookup finds none loaded.
//
// Loading is serialised by a lock and the table is published with a release
// store, so two threads that trigger the first load together install one
// table; once loaded, lookups take no lock and allocate nothing. The table
// is indexed once when it is installed, so a lookup does not walk it.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>

#include "platform/cZeSmBiosIndex.h"
#include "platform/cZeSmBiosSelector.h"
#include "platform/cZeSmBiosTable.h"
#include "platform/tStatus.h"

namespace nKESTREL1400::nZESMBIOS_1_1 {

class cZeSmBiosProvider {
 public:
  static constexpr std::uint32_t kIdentificationSize = 256;

  cZeSmBiosProvider() noexcept = default;
  virtual ~cZeSmBiosProvider();
  cZeSmBiosProvider(const cZeSmBiosProvider&) = delete;
  cZeSmBiosProvider& operator=(const cZeSmBiosProvider&) = delete;

  // Copies the table and the identification text (kept empty when it does
  // not fit in kIdentificationSize with its NUL). Does nothing when a table
  // is loaded already. Null arguments or length 0: -52005; no memory: -52000.
  void loadFromMemory(const char* identification, const std::uint8_t* table, std::uint32_t tableLength,
                      tStatus& status) noexcept;

  // The lookups. Each loads the table through loadTable first when none is
  // loaded. The value is meaningful only when the status holds no error.
  std::uint8_t readByte(std::uint32_t selector, std::uint32_t instance, tStatus& status) noexcept;
  std::uint16_t readWord(std::uint32_t selector, std::uint32_t instance, tStatus& status) noexcept;
  std::uint64_t readQword(std::uint32_t selector, std::uint32_t instance, tStatus& status) noexcept;
  // Two-call protocol: with `size` below the text's length plus 1 the size
  // needed is written back with -240051; a null buffer that would have
  // fitted gives -52005. String number 0 gives the warning 240050 and, with
  // a buffer of some room, an empty text.
  void readString(std::uint32_t selector, std::uint32_t instance, char* buffer, std::uint32_t& size,
                  tStatus& status) noexcept;

  bool isLoaded() const noexcept { return table_.load(std::memory_order_acquire) != nullptr; }

 protected:
  // Fetches a table from the derived class's source and hands it to
  // installTable. Called with the load lock held, only while no table is
  // loaded.
  virtual void loadTable(tStatus& status) noexcept = 0;

  // Takes ownership of `table` (allocated with new[]) and publishes it. Call
  // only from loadTable.
  void installTable(std::uint8_t* table, std::uint32_t tableLength, const char* identification) noexcept;

 private:
  // The loaded table, after loading it through loadTable if needed; an
  // empty view with the load's code on failure.
  cZeSmBiosTable loadedTable(tStatus& status) noexcept;
  // The structure of the selector's type and the instance, with its field
  // checked; null with a code otherwise.
  const std::uint8_t* locateField(const cZeSmBiosTable& table, cZeSmBiosSelector selector, std::uint32_t instance,
                                  tStatus& status) const noexcept;
  template <typename T>
  T readNumber(std::uint32_t selector, std::uint32_t instance, cZeSmBiosFieldKind kind, tStatus& status) noexcept;
  void deliverText(const char* text, std::uint32_t textLength, char* buffer, std::uint32_t& size,
                   tStatus& status) const noexcept;

  std::atomic<std::uint8_t*> table_{nullptr};
  std::uint32_t tableLength_ = 0;
  // Built before the table is published, never changed afterwards.
  cZeSmBiosIndex index_;
  char identification_[kIdentificationSize] = {};
  pthread_mutex_t loadLock_ = PTHREAD_MUTEX_INITIALIZER;
};

}  // namespace nKESTREL1400::nZESMBIOS_1_1
