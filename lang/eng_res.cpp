// SPDX-License-Identifier: Apache-2.0
// English (U.S.) texts.
#include "lang/string_table.h"

namespace {

using namespace lang;

constexpr StringEntry kTable[] = {
    {IDS_TITLE, "Vexlor %s Firmware Upgrade Tool"},
    {IDS_STOP, "Stop"},
    {IDS_NO_PORT, "No COM port"},
    {IDS_PROGRESS, "Downloading: %d%% done"},
    {IDS_ABOUT, "About Vexlor %s..."},
    {IDS_PORT_PREFIX, "COM"},
    {IDS_DIAG_READY, "Handset found in diagnostic mode. Checking its software version..."},
    {IDS_INSTRUCTION_1, "How to upgrade the firmware of a %s handset:"},
    {IDS_INSTRUCTION_2, "1. Charge the %s battery, or keep the handset on its charger."},
    {IDS_INSTRUCTION_3, "2. Switch the %s on and connect it to this PC with its data cable."},
    {IDS_INSTRUCTION_4, "3. Close every other program that may use the port of the %s."},
    {IDS_INSTRUCTION_5, "4. Open the port list on the right and choose the port of the data cable."},
    {IDS_INSTRUCTION_6, "5. Press Start. The software version of the %s is checked first."},
    {IDS_INSTRUCTION_7, "6. Do not unplug or switch off the %s while the download runs."},
    {IDS_INSTRUCTION_8, "7. While the %s is upgraded, the newest message is at the top of this list."},
    {IDS_INSTRUCTION_9, "8. When the download is completed, the %s restarts by itself."},
    {IDS_INSTRUCTION_10, "9. If no %s is found, check the cable and the port, then press Start again."},
    {IDS_INSTRUCTION_11, "10. A version mismatch means this load is not meant for this %s."},
    {IDS_INSTRUCTION_12, "11. Stop cancels the download; the %s then needs a new download."},
    {IDS_INSTRUCTION_13, "12. Unplug the %s only after it has restarted."},
    {IDS_DONE, "Download completed. The handset restarts with the new firmware."},
    {IDS_START, "Start"},
    {IDS_BACKUP, "Backup"},
    {IDS_RESTORE, "Restore"},
    {IDS_CHECK_PROGRESS, "Checking firmware data: %d%%"},
    {IDS_CHECK_FAILED, "The firmware data of this tool is damaged or incomplete. The tool will close."},
    {IDS_ERR_VERSION,
     "The handset's software version could not be checked. Switch the handset off and on, then try again."},
    {IDS_ERR_PORT, "The handset could not be reached on this port."},
    {IDS_ERR_MODE,
     "The handset could not be switched to download mode. Switch the handset off and on, then try again."},
    {IDS_ERR_WRITE, "Writing the firmware to the handset failed. Switch the handset off and on, then try again."},
    {IDS_STARTED, "Download started. Looking for the handset..."},
    {IDS_ERR_ACC, "The handset refused the start of the download."},
    {IDS_STOP_QUESTION, "Stop the download now? The handset will need a new download afterwards."},
    {IDS_STOPPED, "The download was stopped."},
    {IDS_CLOSE_QUESTION, "A download is running. Stop it and close the tool?"},
    {IDS_ERR_NOT_DIAG, "The handset is already in download mode: switch the handset off and on, then try again."},
    {IDS_ERR_FINAL, "The handset did not accept the end of the download."},
    {IDS_ERR_NAND, "The handset could not write the firmware to its NAND flash."},
    {IDS_ERR_VERSION_MISMATCH,
     "Version mismatch: the handset has software version %s, this firmware load is for version %s."},
    {IDS_PORT_ABSENT, "%s was not there: the device did not appear. Check the cable and the port."},
    {IDS_PORT_NO_ACCESS,
     "%s cannot be opened: %s. Join the dialout group (sudo adduser $USER dialout), then log in again."},
    {IDS_PORT_IN_USE, "%s is in use by another program: %s. Close that program, then try again."},
    {IDS_PORT_IN_USE_UNKNOWN, "%s is in use by another program. Close that program, then try again."},
    {IDS_PORT_NOT_SERIAL, "%s is not a serial port: %s."},
    {IDS_PORT_NO_ANSWER, "No handset answers on %s. Check the cable, and that the handset is switched on."},
    {IDS_PORT_FAILED, "%s could not be opened: %s."},
    {IDS_NO_LOAD, "This program carries no firmware load. Pack one into a copy of it with vexlor-pack."},
    {IDS_SUMMARY, "%s bytes sent in %s s, %s on average."},
    {IDS_PORT_BUSY_WAITING, "%s is in use by %s; waiting for it to let go"},
    {IDS_PORT_BUSY_WAITING_UNKNOWN, "%s is in use by another program; waiting for it to let go"},
    {IDS_PORT_GONE,
     "%s: the port went away during the download: check the cable, switch the handset off and on, then try again"},
};

}  // namespace

VEXLOR_RES_EXPORT const char* VexlorResString(unsigned id) { return FindText(kTable, id); }
