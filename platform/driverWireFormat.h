// The wire format between the library and the controller's kernel driver:
// the transfer descriptor, the request codes, the input and output record of
// every request, the notification registration and the netlink message
// layout. The records are an ABI: every size and offset is checked below.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nKESTREL1400::nDriverWire {

// Linux ioctl number layout: bits 0-7 number, 8-15 type, 16-29 argument
// size, 30-31 direction (1 write, 2 read).
inline constexpr std::uint32_t kDirectionNone = 0;
inline constexpr std::uint32_t kDirectionWrite = 1;
inline constexpr std::uint32_t kDirectionRead = 2;

constexpr std::uint32_t ioctlCode(std::uint32_t direction, std::uint32_t type, std::uint32_t number,
                                  std::uint32_t size) {
  return (direction << 30) | (size << 16) | (type << 8) | number;
}

// Argument of every request: where the input and output records are.
struct tTransferDescriptor {
  std::uint64_t inputAddress;
  std::uint64_t outputAddress;
  std::uint32_t inputSize;
  std::uint32_t outputSize;
  std::uint32_t result;
  std::uint32_t reserved;
};
static_assert(sizeof(tTransferDescriptor) == 32);
static_assert(offsetof(tTransferDescriptor, inputAddress) == 0);
static_assert(offsetof(tTransferDescriptor, outputAddress) == 8);
static_assert(offsetof(tTransferDescriptor, inputSize) == 16);
static_assert(offsetof(tTransferDescriptor, outputSize) == 20);
static_assert(offsetof(tTransferDescriptor, result) == 24);
static_assert(offsetof(tTransferDescriptor, reserved) == 28);

inline constexpr std::uint32_t kHostControllerType = 0x7B;
inline constexpr std::uint32_t kTriggerRouterType = 0x80;

// The type and argument size of a request code, as ioctlCode put them in.
constexpr std::uint32_t ioctlType(std::uint64_t code) { return static_cast<std::uint32_t>((code >> 8) & 0xFF); }
constexpr std::uint32_t ioctlSize(std::uint64_t code) { return static_cast<std::uint32_t>((code >> 16) & 0x3FFF); }

// Whether a request of this code passes a transfer descriptor: the
// host-controller and trigger-router requests.
constexpr bool carriesTransferDescriptor(std::uint64_t code) {
  return ioctlSize(code) == sizeof(tTransferDescriptor) &&
         (ioctlType(code) == kHostControllerType || ioctlType(code) == kTriggerRouterType);
}

constexpr std::uint32_t hostControllerRequest(std::uint32_t number) {
  return ioctlCode(kDirectionRead | kDirectionWrite, kHostControllerType, number, sizeof(tTransferDescriptor));
}
constexpr std::uint32_t triggerRouterRequest(std::uint32_t number) {
  return ioctlCode(kDirectionNone, kTriggerRouterType, number, sizeof(tTransferDescriptor));
}

// Host-controller interfaces (controller, companion chip, watchdog).
inline constexpr std::uint32_t kGetAttribute = hostControllerRequest(0x01);
inline constexpr std::uint32_t kSetAttribute = hostControllerRequest(0x02);
inline constexpr std::uint32_t kGetSmBiosData = hostControllerRequest(0x0A);
inline constexpr std::uint32_t kUpdateFirmware = hostControllerRequest(0x0B);
inline constexpr std::uint32_t kUpdateMartenFirmware = hostControllerRequest(0x14);
inline constexpr std::uint32_t kPetWatchdog = hostControllerRequest(0x1E);
inline constexpr std::uint32_t kStartWatchdogTimer = hostControllerRequest(0x1F);
inline constexpr std::uint32_t kStopWatchdogTimer = hostControllerRequest(0x20);
inline constexpr std::uint32_t kCancelWaitForWatchdogNotification = hostControllerRequest(0x21);
static_assert(kGetAttribute == 0xC0207B01u && kSetAttribute == 0xC0207B02u);
static_assert(kGetSmBiosData == 0xC0207B0Au && kUpdateFirmware == 0xC0207B0Bu);
static_assert(kUpdateMartenFirmware == 0xC0207B14u);
static_assert(kPetWatchdog == 0xC0207B1Eu && kStartWatchdogTimer == 0xC0207B1Fu);
static_assert(kStopWatchdogTimer == 0xC0207B20u && kCancelWaitForWatchdogNotification == 0xC0207B21u);

// Trigger-router interface. Number 9 is not used.
inline constexpr std::uint32_t kGetRouterInfo = triggerRouterRequest(0x00);
inline constexpr std::uint32_t kCalculateRoute = triggerRouterRequest(0x01);
inline constexpr std::uint32_t kDestroyRoute = triggerRouterRequest(0x02);
inline constexpr std::uint32_t kReserveRoute = triggerRouterRequest(0x03);
inline constexpr std::uint32_t kProgramRoute = triggerRouterRequest(0x04);
inline constexpr std::uint32_t kUnreserveRoute = triggerRouterRequest(0x05);
inline constexpr std::uint32_t kUnprogramRoute = triggerRouterRequest(0x06);
inline constexpr std::uint32_t kGetRouteTerminalPath = triggerRouterRequest(0x07);
inline constexpr std::uint32_t kGetTopographyName = triggerRouterRequest(0x08);
inline constexpr std::uint32_t kResetTerminal = triggerRouterRequest(0x0A);
inline constexpr std::uint32_t kCalculateResetTerminal = triggerRouterRequest(0x0B);
static_assert(kGetRouterInfo == 0x00208000u && kCalculateRoute == 0x00208001u);
static_assert(kDestroyRoute == 0x00208002u && kReserveRoute == 0x00208003u);
static_assert(kProgramRoute == 0x00208004u && kUnreserveRoute == 0x00208005u);
static_assert(kUnprogramRoute == 0x00208006u && kGetRouteTerminalPath == 0x00208007u);
static_assert(kGetTopographyName == 0x00208008u && kResetTerminal == 0x0020800Au);
static_assert(kCalculateResetTerminal == 0x0020800Bu);

// --- Records shared by several requests -------------------------------------

// Input of the requests that carry nothing but the caller's status.
struct tStatusInput {
  std::int32_t statusIn;
};
static_assert(sizeof(tStatusInput) == 4);

// Output of the requests that answer nothing but the driver's status.
struct tStatusOutput {
  std::int32_t status;
};
static_assert(sizeof(tStatusOutput) == 4);

// A caller buffer: updateFirmware (both interfaces) and getTopographyName.
struct tBufferInput {
  std::uint64_t address;
  std::uint32_t size;
  std::int32_t statusIn;
};
static_assert(sizeof(tBufferInput) == 16);
static_assert(offsetof(tBufferInput, address) == 0);
static_assert(offsetof(tBufferInput, size) == 8);
static_assert(offsetof(tBufferInput, statusIn) == 12);

// getAttribute and setAttribute of the host-controller interfaces.
struct tAttributeInput {
  std::uint32_t attributeId;
  std::uint32_t pad;
  std::uint64_t valueAddress;
  std::uint32_t valueSize;
  std::int32_t statusIn;
};
static_assert(sizeof(tAttributeInput) == 24);
static_assert(offsetof(tAttributeInput, attributeId) == 0);
static_assert(offsetof(tAttributeInput, valueAddress) == 8);
static_assert(offsetof(tAttributeInput, valueSize) == 16);
static_assert(offsetof(tAttributeInput, statusIn) == 20);

// A 32-bit answer with the driver's status: getAttribute's size,
// reserveRoute's and getRouteTerminalPath's counts, getRouterInfo's value,
// calculateResetTerminal's terminal.
struct tValueOutput {
  std::uint32_t value;
  std::int32_t status;
};
static_assert(sizeof(tValueOutput) == 8);
static_assert(offsetof(tValueOutput, value) == 0);
static_assert(offsetof(tValueOutput, status) == 4);

// --- Host controller ----------------------------------------------------------

struct tGetSmBiosDataInput {
  std::uint64_t identAddress;
  std::uint32_t identSize;
  std::uint32_t pad;
  std::uint64_t tableAddress;
  std::uint32_t tableSize;
  std::int32_t statusIn;
};
static_assert(sizeof(tGetSmBiosDataInput) == 32);
static_assert(offsetof(tGetSmBiosDataInput, identAddress) == 0);
static_assert(offsetof(tGetSmBiosDataInput, identSize) == 8);
static_assert(offsetof(tGetSmBiosDataInput, tableAddress) == 16);
static_assert(offsetof(tGetSmBiosDataInput, tableSize) == 24);
static_assert(offsetof(tGetSmBiosDataInput, statusIn) == 28);

struct tGetSmBiosDataOutput {
  std::uint32_t identSize;
  std::uint32_t tableSize;
  std::int32_t status;
};
static_assert(sizeof(tGetSmBiosDataOutput) == 12);
static_assert(offsetof(tGetSmBiosDataOutput, identSize) == 0);
static_assert(offsetof(tGetSmBiosDataOutput, tableSize) == 4);
static_assert(offsetof(tGetSmBiosDataOutput, status) == 8);

// --- Trigger router -------------------------------------------------------------

struct tRouteSeed {
  std::uint32_t terminalId;
  std::uint32_t cost;
  std::uint8_t inversionNeeded;
  std::uint8_t pad[3];
};
static_assert(sizeof(tRouteSeed) == 12);
static_assert(offsetof(tRouteSeed, cost) == 4);
static_assert(offsetof(tRouteSeed, inversionNeeded) == 8);

struct tRouteSegment {
  std::uint32_t ticket;
  std::uint32_t destinationId;
  std::uint32_t cost;
  std::uint32_t indexOfStartingSeed;
  std::uint8_t inversionNeeded;
  std::uint8_t pad[3];
};
static_assert(sizeof(tRouteSegment) == 20);
static_assert(offsetof(tRouteSegment, destinationId) == 4);
static_assert(offsetof(tRouteSegment, cost) == 8);
static_assert(offsetof(tRouteSegment, indexOfStartingSeed) == 12);
static_assert(offsetof(tRouteSegment, inversionNeeded) == 16);

struct tReservationConflict {
  std::uint64_t sessionId;
  std::uint32_t ticket;
  std::uint32_t pad;
};
static_assert(sizeof(tReservationConflict) == 16);
static_assert(offsetof(tReservationConflict, ticket) == 8);

struct tCalculateRouteInput {
  std::uint64_t sessionId;
  std::uint64_t seedsAddress;
  std::uint32_t seedsCount;
  std::uint32_t pad;
  std::uint64_t destinationsAddress;
  std::uint32_t destinationsCount;
  std::uint32_t options;
  std::uint64_t resultsAddress;
  std::uint32_t resultsCount;
  std::int32_t statusIn;
};
static_assert(sizeof(tCalculateRouteInput) == 56);
static_assert(offsetof(tCalculateRouteInput, seedsAddress) == 8);
static_assert(offsetof(tCalculateRouteInput, seedsCount) == 16);
static_assert(offsetof(tCalculateRouteInput, destinationsAddress) == 24);
static_assert(offsetof(tCalculateRouteInput, destinationsCount) == 32);
static_assert(offsetof(tCalculateRouteInput, options) == 36);
static_assert(offsetof(tCalculateRouteInput, resultsAddress) == 40);
static_assert(offsetof(tCalculateRouteInput, resultsCount) == 48);
static_assert(offsetof(tCalculateRouteInput, statusIn) == 52);

struct tCalculateRouteOutput {
  std::uint32_t ticket;
  std::uint32_t resultsCount;
  std::int32_t status;
};
static_assert(sizeof(tCalculateRouteOutput) == 12);
static_assert(offsetof(tCalculateRouteOutput, resultsCount) == 4);
static_assert(offsetof(tCalculateRouteOutput, status) == 8);

// destroyRoute, programRoute, unreserveRoute, unprogramRoute.
struct tTicketInput {
  std::uint32_t ticket;
  std::int32_t statusIn;
};
static_assert(sizeof(tTicketInput) == 8);
static_assert(offsetof(tTicketInput, statusIn) == 4);

// reserveRoute (conflict records) and getRouteTerminalPath (terminal ids).
struct tTicketArrayInput {
  std::uint32_t ticket;
  std::uint32_t pad;
  std::uint64_t address;
  std::uint32_t count;
  std::int32_t statusIn;
};
static_assert(sizeof(tTicketArrayInput) == 24);
static_assert(offsetof(tTicketArrayInput, address) == 8);
static_assert(offsetof(tTicketArrayInput, count) == 16);
static_assert(offsetof(tTicketArrayInput, statusIn) == 20);

struct tResetTerminalInput {
  std::uint32_t terminal;
  std::uint32_t floating;
  std::int32_t statusIn;
};
static_assert(sizeof(tResetTerminalInput) == 12);
static_assert(offsetof(tResetTerminalInput, floating) == 4);
static_assert(offsetof(tResetTerminalInput, statusIn) == 8);

struct tCalculateResetTerminalInput {
  std::uint64_t sessionId;
  std::uint32_t terminal;
  std::uint32_t floating;
  std::int32_t statusIn;
  std::uint32_t pad;
};
static_assert(sizeof(tCalculateResetTerminalInput) == 24);
static_assert(offsetof(tCalculateResetTerminalInput, terminal) == 8);
static_assert(offsetof(tCalculateResetTerminalInput, floating) == 12);
static_assert(offsetof(tCalculateResetTerminalInput, statusIn) == 16);

inline constexpr std::uint32_t kTopographyNameSize = 128;

// --- Notifications --------------------------------------------------------------

inline constexpr std::uint32_t kRegisterNotification = ioctlCode(kDirectionWrite, 0xFF, 0, 16);
inline constexpr std::uint32_t kUnregisterNotification = ioctlCode(kDirectionNone, 0xFF, 1, 0);
static_assert(kRegisterNotification == 0x4010FF00u && kUnregisterNotification == 0xFF01u);

inline constexpr std::uint32_t kWatchdogNotificationId = 0x70;
inline constexpr std::uint32_t kDemotionNotificationId = 0x80000000u;

// Argument of kRegisterNotification, passed by address. Unregistration
// passes the notificationId itself as the ioctl argument.
struct tNotificationRegistration {
  std::uint64_t cookie;
  std::uint32_t portId;
  std::uint32_t notificationId;
};
static_assert(sizeof(tNotificationRegistration) == 16);
static_assert(offsetof(tNotificationRegistration, portId) == 8);
static_assert(offsetof(tNotificationRegistration, notificationId) == 12);

// One driver message on the generic netlink socket.
inline constexpr std::size_t kMessageBufferSize = 72;
inline constexpr std::size_t kNetlinkHeaderSize = 16;
inline constexpr std::size_t kMessageHeaderSize = 36;  // everything before the data
inline constexpr std::uint32_t kMaxEventData = 32;
inline constexpr std::uint16_t kEventNotify = 1;
inline constexpr std::uint16_t kEventEnd = 2;
// Netlink control messages (no-op, error, done, overrun) that carry no event.
inline constexpr std::uint16_t kFirstControlType = 1;
inline constexpr std::uint16_t kLastControlType = 4;

struct tDriverMessage {
  std::uint32_t length;
  std::uint16_t type;
  std::uint16_t flags;
  std::uint32_t sequence;
  std::uint32_t port;
  std::uint8_t header[6];
  std::uint16_t eventType;
  std::uint64_t cookie;
  std::uint32_t dataLength;
  std::uint8_t data[kMaxEventData];
};
static_assert(sizeof(tDriverMessage) == kMessageBufferSize);
static_assert(offsetof(tDriverMessage, type) == 4);
static_assert(offsetof(tDriverMessage, flags) == 6);
static_assert(offsetof(tDriverMessage, sequence) == 8);
static_assert(offsetof(tDriverMessage, port) == 12);
static_assert(offsetof(tDriverMessage, header) == kNetlinkHeaderSize);
static_assert(offsetof(tDriverMessage, eventType) == 22);
static_assert(offsetof(tDriverMessage, cookie) == 24);
static_assert(offsetof(tDriverMessage, dataLength) == 32);
static_assert(offsetof(tDriverMessage, data) == kMessageHeaderSize);

// Netlink socket address as bind and getsockname see it.
inline constexpr std::uint32_t kNetlinkAddressSize = 12;
inline constexpr int kNetlinkGeneric = 16;

}  // namespace nKESTREL1400::nDriverWire
