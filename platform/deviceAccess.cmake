# Device access: discovery, interface proxies, IO notifications.
target_sources(kestrel_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/driverMessageDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/errnoToStatus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linuxDevEnumHelper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/openInterface.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tDeviceInterfaceIterator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tDeviceInterfaceProxy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tIONotification.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tIONotificationReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tNotificationRegistry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tThreadedIONotificationReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/triggerRouterPath.cpp)
