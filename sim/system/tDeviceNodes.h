// The simulated controller's device interfaces: the nodes with their models,
// and the device files the program has open on them.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/system/tDeviceNode.h"

namespace nKESTRELSIM {

class tDeviceNodes {
 public:
  // An open device file: the node, and the number its model knows the file by.
  struct tOpenFile {
    tDeviceNode* node = nullptr;
    std::uint64_t openId = 0;
  };
  using tModelWrapper = std::function<std::unique_ptr<tDriverModel>(std::unique_ptr<tDriverModel>)>;

  // A node named as the driver names it: /proc/driver/ze/<driver>/
  // deviceInterfaces/<name>\<suffix> and /dev/zesim/<driver>/<name>-<suffix>,
  // with the model for its interface.
  tDeviceNode& add(const std::string& interfaceName, const std::string& suffix, const std::string& driver);
  tDeviceNode* at(const std::string& devicePath) const;
  // The index-th node of the interface that has a model; std::out_of_range
  // when there is none.
  tDeviceNode& instance(const std::string& interfaceName, std::size_t index) const;
  std::vector<const tDeviceNode*> all() const;
  void wrapModels(const tModelWrapper& wrap);
  // Every node that has a model, in the order they were added.
  void forEachModel(const std::function<void(tDeviceNode&)>& visit) const;
  // The earliest moment a model acts on its own.
  std::optional<std::chrono::steady_clock::time_point> nextDeadline() const;

  const tOpenFile& open(int descriptor, tDeviceNode& node);
  const tOpenFile* openFile(int descriptor) const;
  // Forgets the open file; what it was, if it was one.
  std::optional<tOpenFile> close(int descriptor);

  void clear();

 private:
  std::vector<std::unique_ptr<tDeviceNode>> nodes_;
  std::map<int, tOpenFile> openFiles_;
  std::uint64_t nextOpenId_ = 0;
};

}  // namespace nKESTRELSIM
