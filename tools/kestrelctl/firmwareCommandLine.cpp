#include "tools/kestrelctl/firmwareCommandLine.h"

#include "tools/kestrelctl/completion.h"

namespace kestrelctl {

tFirmwareCommandLine::tFirmwareCommandLine(CLI::App& app)
    : firmware_(app.add_subcommand("firmware", "inspect and pack update files, show installed versions, update")) {
  firmware_->footer(
      "Update files are read up to their first NUL byte and refused above 512 MiB; images above 256 MiB, which the\n"
      "driver refuses, are not packed.\n\n"
      "Examples:\n"
      "  kestrelctl firmware pack --target BIOS --version 1.5.0f0 bios.bin -o update.fw\n"
      "  kestrelctl firmware inspect update.fw\n"
      "  kestrelctl firmware status --json\n"
      "  kestrelctl firmware update update.fw\n"
      "  kestrel-sim -- kestrelctl firmware update update.fw    (on the simulated controller)");
  auto* inspect = firmware_->add_subcommand(
      "inspect", "list every section of an update file and whether it verifies (exit 1 when the file is refused)");
  completeFilesFor(inspect->add_option("file", request_.file, "the update file")->option_text("FILE")->required());
  auto* pack = firmware_->add_subcommand("pack", "write an update file that carries the given images");
  completeValuesWith(pack->add_option("--target", request_.target, "the device the images are for: BIOS, MARTEN or "
                                                                   "SAFEMODE")
                         ->option_text("TARGET")
                         ->required(),
                     [] { return std::vector<std::string>{"BIOS", "MARTEN", "SAFEMODE"}; });
  pack->add_option("--version", request_.version, "the images' version, such as 1.5.0f0")
      ->option_text("VERSION")
      ->required();
  completeFilesFor(pack->add_option("-o,--output", request_.file, "the update file to write (replaced whole)")
                       ->option_text("FILE")
                       ->required());
  completeFilesFor(pack->add_option("images", request_.images, "image files, one section each")
                       ->option_text("IMAGE")
                       ->required());
  firmware_->add_subcommand("status", "installed BIOS, companion and safe-mode versions; whether updates are allowed");
  auto* update = firmware_->add_subcommand(
      "update", "install an update file: images not newer than the installed ones are skipped unless --force");
  completeFilesFor(update->add_option("file", request_.file, "the update file")->option_text("FILE")->required());
  update->add_flag("--force", request_.force, "install every image, newer or not");
  firmware_->require_subcommand(1);
}

int tFirmwareCommandLine::run() {
  if (firmware_->get_subcommand("inspect")->parsed()) return runFirmwareInspect(request_);
  if (firmware_->get_subcommand("pack")->parsed()) return runFirmwarePack(request_);
  if (firmware_->get_subcommand("status")->parsed()) return runFirmwareStatus(request_);
  return runFirmwareUpdate(request_);
}

}  // namespace kestrelctl
