#include "platform/errnoToStatus.h"

#include <array>
#include <cerrno>

#include "kestrel/kestrel.h"

namespace nKESTREL1400 {
namespace {

constexpr int kLastMappedErrno = 130;

struct tErrnoMapping {
  int errnoValue;
  std::int32_t status;
};

// Every errno that maps to a code of its own; the rest of 1 to 130 is a
// system error.
constexpr tErrnoMapping kErrnoMappings[] = {
    {0, 0},
    {ENOMEM, brioerr_memoryFull},        {ENFILE, brioerr_memoryFull},
    {EMFILE, brioerr_memoryFull},        {ENOTTY, brioerr_notSupported},
    {EOPNOTSUPP, brioerr_notSupported},  {EINVAL, brioerr_invalidParameter},
    {ENOENT, brioerr_deviceNotFound},    {ESRCH, brioerr_deviceNotFound},
    {ENXIO, brioerr_deviceNotFound},     {EBADF, brioerr_deviceNotFound},
    {ENODEV, brioerr_deviceNotFound},    {ETIMEDOUT, brioerr_timeout},
    {EALREADY, brioerr_inProgress},      {EINPROGRESS, brioerr_inProgress},
    {ENOSPC, brioerr_noSpace},           {EOVERFLOW, brioerr_noSpace},
    {EEXIST, brioerr_alreadyExists},     {EADDRINUSE, brioerr_alreadyExists},
    {EOWNERDEAD, brioerr_ownerDied},     {EDEADLK, brioerr_deadlock},
    {ENOLCK, brioerr_deadlock},          {ENOBUFS, brioerr_noBuffers},
    {EIDRM, brioerr_identifierRemoved},  {ECONNABORTED, brioerr_connectionAborted},
    {EIO, brioerr_ioFailure},            {EPIPE, brioerr_ioFailure},
    {EBADMSG, brioerr_ioFailure},        {EINTR, brioerr_interrupted},
    {ECONNRESET, brioerr_interrupted},   {EPERM, brioerr_permissionDenied},
    {EACCES, brioerr_permissionDenied},  {EROFS, brioerr_permissionDenied},
    {EBUSY, brioerr_busy},
};

constexpr std::array<std::int32_t, kLastMappedErrno + 1> buildTable() {
  std::array<std::int32_t, kLastMappedErrno + 1> table{};
  for (auto& entry : table) entry = brioerr_systemError;
  for (const auto& mapping : kErrnoMappings) table[static_cast<std::size_t>(mapping.errnoValue)] = mapping.status;
  return table;
}

constexpr auto kErrnoTable = buildTable();

}  // namespace

std::int32_t errnoToStatus(int errnoValue) noexcept {
  if (errnoValue < 0 || errnoValue > kLastMappedErrno) return brioerr_systemError;
  return kErrnoTable[static_cast<std::size_t>(errnoValue)];
}

}  // namespace nKESTREL1400
