#pragma once

// What the help and the manual pages say beyond the options: the exit status, the JSON output
// and examples.

namespace qv::cli {

struct ExitStatusMeaning {
    int code;
    const char* meaning;
};

inline constexpr ExitStatusMeaning kExitStatuses[] = {
    {0, "success"},
    {1, "the operation failed; the message says where"},
    {2, "bad usage or bad input; nothing was sent"},
    {3, "no device found, or no permission to open it"},
};

// The objects --json and --log write, as JsonLine, RunRecord and the JSON view build them.
inline constexpr const char* kJsonOutput =
    R"(  With --json standard output is JSON Lines: one object per line with an "event" field.

  {"event":"step","text":T}
      A step of a flash command begins (once per step; T without trailing dots).
  {"event":"progress","done":N,"total":N,"unit":U}
      Once per percent: U "bytes", of the loaded image; during an erase U "percent", of the
      identified part's usual erase time (100 when the erase has ended).
  {"event":"result",...} of a flash command
      One per device of flash, erase, blank, program, verify, read-back, flash --all and
      station: "command", "ok", "exit_code", "message", "seconds", "device", on failure
      "failure" (its kind), "flash_uid" (the flash's unique ID, where flash, flash --all
      and station read one), "serial" (the serial number the board was given with --serial),
      and for a command with a file "file", "length", "checksum"
      ("0xC59B") and "sha256" of the file.
  {"event":"result",...} of any other command
      The last line of every other recognised command, also of one refused for bad usage:
      "command", "ok", "exit_code", "message" and "output" (what it would have printed).
  {"event":"plan","action":A,"text":T,...}
      With --dry-run: one per step the command would take, with its figures ("start", "end",
      "bytes", "file", "length", "checksum", "sha256", "address", "value", ...); the result
      line then carries "dry_run":true.
  {"event":"summary","passed":N,"failed":N,"stopped":N,"boards_per_hour":R}
      The end of station and of flash --all; R is null before a minute of work or before
      the second verdict (stopped boards are not in it).
  qvusb --json list
      One object per device: "event" ("device"), "selector", "kind" (user or
      firmware-update), "vid", "pid", "carrier" (audio or usb), "serial", "path" (the
      interface path), "system_path" and "permission" (false: the user may not open it).
  --log FILE
      Appends one object per device and run: "time" (UTC, with milliseconds), "host",
      "command_line" (passwords as ***), "command", "device_path", "ok", "exit_code", "message",
      "seconds", "device", "failure", "file", "length", "checksum", "sha256", "range",
      "chip_id" ("EF 40 14"), "flash_uid" (16 hex digits, empty when not read), "serial",
      "order", "operator" and "failing_step"; and {"event":"on_result",...} when the command
      of --on-result failed for a board.
  qvusb --json --db URL board ID
      One object per run of the board: "event" ("board_run"), "time", "station", "port",
      "ok", "failure", "message", "serial", "flash_uid" and "firmware".
  qvusb --json --db URL serials
      One object per serial number: "event" ("serial"), "serial", "status" (allocated,
      programmed or void), "station", "port" and "allocated_at" (UTC).
  "failure"
      refused (exit 2), no_device (exit 3), device_gone, not_answering, identify_failed,
      status_unreadable, status_write_failed, range_beyond_flash, write_protected,
      erase_failed, blank_check_failed, program_failed, verify_failed, read_failed,
      kept_bytes_lost, protect_failed, isp_entry_failed, isp_exit_failed, request_failed,
      not_acknowledged, stopped, output_not_written (exit 1).
)";

struct Example {
    const char* command;
    const char* explanation;
};

// The demo firmware as the examples name it: its place in the source folder.
inline constexpr const char* kExampleDemoFirmware = "demo/demo-firmware.h00";

inline constexpr Example kExamples[] = {
    {"qvusb --sim flash demo/demo-firmware.h00",
     "program the demo firmware into the simulated chip with the automatic sequence"},
    {"qvusb list", "the devices, each with its selector (1-3.2) for --device"},
    {"qvusb --json --log station.log --device 1-3 flash fw.h00",
     "a production script: exit code 0/1/2/3, the last line the result, a line in station.log"},
    {"qvusb --sim --sim-devices 4 --sim-replug 3 station demo/demo-firmware.h00 --units 12",
     "a station of four ports with a simulated operator, twelve boards judged"},
    {"qvusb --db sqlite:line.db station fw.h00 --serial 'QVUA{yy}{mm}{seq:06}'",
     "a station giving every board the next serial number, kept with each run in line.db"},
    {"qvusb --trace board.trace status",
     "the playback status, every control transfer written to board.trace"},
    {"qvusb udev-rule --vid 6b94 --pid f82d > /etc/udev/rules.d/71-quorvex-local.rules",
     "let users reach a device with other IDs (then: udevadm control --reload-rules && udevadm "
     "trigger)"},
};

}  // namespace qv::cli
