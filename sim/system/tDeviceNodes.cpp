#include "sim/system/tDeviceNodes.h"

#include <stdexcept>

namespace nKESTRELSIM {
namespace {

std::string safeName(std::string text) {
  for (char& c : text) {
    if (c == '/' || c == '\\') c = '_';
  }
  return text;
}

}  // namespace

tDeviceNode& tDeviceNodes::add(const std::string& interfaceName, const std::string& suffix,
                               const std::string& driver) {
  auto node = std::make_unique<tDeviceNode>();
  node->interfaceName = interfaceName;
  node->suffix = suffix;
  node->driver = driver;
  node->directory = "/proc/driver/ze/" + driver + "/deviceInterfaces/" + interfaceName + "\\" + suffix;
  node->devicePath = "/dev/zesim/" + safeName(driver) + "/" + safeName(interfaceName + "-" + suffix);
  node->model = makeModel(interfaceName);
  nodes_.push_back(std::move(node));
  return *nodes_.back();
}

tDeviceNode* tDeviceNodes::at(const std::string& devicePath) const {
  for (const auto& node : nodes_) {
    if (node->devicePath == devicePath) return node.get();
  }
  return nullptr;
}

tDeviceNode& tDeviceNodes::instance(const std::string& interfaceName, std::size_t index) const {
  for (const auto& node : nodes_) {
    if (node->interfaceName != interfaceName || !node->model) continue;
    if (index-- == 0) return *node;
  }
  throw std::out_of_range("kestrel-sim: no instance of " + interfaceName);
}

std::vector<const tDeviceNode*> tDeviceNodes::all() const {
  std::vector<const tDeviceNode*> result;
  for (const auto& node : nodes_) result.push_back(node.get());
  return result;
}

void tDeviceNodes::wrapModels(const tModelWrapper& wrap) {
  for (auto& node : nodes_) node->model = wrap(std::move(node->model));
}

void tDeviceNodes::forEachModel(const std::function<void(tDeviceNode&)>& visit) const {
  for (const auto& node : nodes_) {
    if (node->model) visit(*node);
  }
}

std::optional<std::chrono::steady_clock::time_point> tDeviceNodes::nextDeadline() const {
  std::optional<std::chrono::steady_clock::time_point> next;
  for (const auto& node : nodes_) {
    const auto deadline = node->model ? node->model->deadline() : std::nullopt;
    if (deadline && (!next || *deadline < *next)) next = deadline;
  }
  return next;
}

const tDeviceNodes::tOpenFile& tDeviceNodes::open(int descriptor, tDeviceNode& node) {
  return openFiles_[descriptor] = tOpenFile{&node, ++nextOpenId_};
}

const tDeviceNodes::tOpenFile* tDeviceNodes::openFile(int descriptor) const {
  const auto found = openFiles_.find(descriptor);
  return found == openFiles_.end() ? nullptr : &found->second;
}

std::optional<tDeviceNodes::tOpenFile> tDeviceNodes::close(int descriptor) {
  const auto found = openFiles_.find(descriptor);
  if (found == openFiles_.end()) return std::nullopt;
  const tOpenFile file = found->second;
  openFiles_.erase(found);
  return file;
}

void tDeviceNodes::clear() {
  openFiles_.clear();
  nodes_.clear();
}

}  // namespace nKESTRELSIM
