// SPDX-License-Identifier: Apache-2.0
// Traditional Chinese texts.
#include "lang/string_table.h"

namespace {

using namespace lang;

constexpr StringEntry kTable[] = {
    {IDS_TITLE, "Vexlor %s 韌體升級工具"},
    {IDS_STOP, "停止"},
    {IDS_NO_PORT, "沒有 COM 埠"},
    {IDS_PROGRESS, "下載中：已完成 %d%%"},
    {IDS_ABOUT, "關於 Vexlor %s..."},
    {IDS_PORT_PREFIX, "COM"},
    {IDS_DIAG_READY, "已找到診斷模式的手機，正在檢查軟體版本..."},
    {IDS_INSTRUCTION_1, "%s 手機韌體升級步驟："},
    {IDS_INSTRUCTION_2, "1. 請先將 %s 的電池充電，或讓手機保持連接充電器。"},
    {IDS_INSTRUCTION_3, "2. 開啟 %s 的電源，並以傳輸線連接到這台電腦。"},
    {IDS_INSTRUCTION_4, "3. 關閉其他可能使用 %s 連接埠的程式。"},
    {IDS_INSTRUCTION_5, "4. 打開右方的連接埠清單，選擇傳輸線所在的連接埠。"},
    {IDS_INSTRUCTION_6, "5. 按下「開始」，工具會先檢查 %s 的軟體版本。"},
    {IDS_INSTRUCTION_7, "6. 下載期間請勿拔除傳輸線或關閉 %s 的電源。"},
    {IDS_INSTRUCTION_8, "7. 升級 %s 期間，最新的訊息顯示在清單最上方。"},
    {IDS_INSTRUCTION_9, "8. 下載完成後，%s 會自動重新開機。"},
    {IDS_INSTRUCTION_10, "9. 若找不到 %s，請檢查傳輸線與連接埠，再按「開始」。"},
    {IDS_INSTRUCTION_11, "10. 版本不符表示此韌體不適用於這支 %s。"},
    {IDS_INSTRUCTION_12, "11. 按「停止」會取消下載，之後 %s 必須重新下載。"},
    {IDS_INSTRUCTION_13, "12. 請等 %s 重新開機後再拔除傳輸線。"},
    {IDS_DONE, "下載完成，手機將以新韌體重新開機。"},
    {IDS_START, "開始"},
    {IDS_BACKUP, "備份"},
    {IDS_RESTORE, "還原"},
    {IDS_CHECK_PROGRESS, "正在檢查韌體資料：%d%%"},
    {IDS_CHECK_FAILED, "本工具的韌體資料已損毀或不完整，工具即將關閉。"},
    {IDS_ERR_VERSION, "無法檢查手機的軟體版本。請將手機關機再開機，然後重試。"},
    {IDS_ERR_PORT, "無法在此連接埠上連到手機。"},
    {IDS_ERR_MODE, "無法將手機切換到下載模式。請將手機關機再開機，然後重試。"},
    {IDS_ERR_WRITE, "寫入韌體到手機失敗。請將手機關機再開機，然後重試。"},
    {IDS_STARTED, "下載開始，正在尋找手機..."},
    {IDS_ERR_ACC, "手機拒絕開始下載。"},
    {IDS_STOP_QUESTION, "確定要停止下載嗎？之後手機必須重新下載。"},
    {IDS_STOPPED, "下載已停止。"},
    {IDS_CLOSE_QUESTION, "下載正在進行中，要停止下載並關閉工具嗎？"},
    {IDS_ERR_NOT_DIAG, "手機已在下載模式：請將手機關機再開機，然後重試。"},
    {IDS_ERR_FINAL, "手機未接受下載結束。"},
    {IDS_ERR_NAND, "手機無法將韌體寫入 NAND 快閃記憶體。"},
    {IDS_ERR_VERSION_MISMATCH, "版本不符：手機的軟體版本為 %s，此韌體適用於 %s 版。"},
    {IDS_PORT_ABSENT, "%s 不存在：裝置沒有出現。請檢查傳輸線與連接埠。"},
    {IDS_PORT_NO_ACCESS, "無法開啟 %s：%s。請加入 dialout 群組（sudo adduser $USER dialout），然後重新登入。"},
    {IDS_PORT_IN_USE, "%s 正由其他程式使用：%s。請關閉該程式，然後重試。"},
    {IDS_PORT_IN_USE_UNKNOWN, "%s 正由其他程式使用。請關閉該程式，然後重試。"},
    {IDS_PORT_NOT_SERIAL, "%s 不是序列埠：%s。"},
    {IDS_PORT_NO_ANSWER, "%s 上沒有手機回應。請檢查傳輸線，並確認手機已開機。"},
    {IDS_PORT_FAILED, "無法開啟 %s：%s。"},
    {IDS_NO_LOAD, "此程式未帶韌體。請用 vexlor-pack 將韌體封裝進此程式的副本。"},
    {IDS_SUMMARY, "已傳送 %s 位元組，用時 %s 秒，平均 %s。"},
    {IDS_PORT_BUSY_WAITING, "%s 正被 %s 使用；等待其釋放"},
    {IDS_PORT_BUSY_WAITING_UNKNOWN, "%s 正被其他程式使用；等待其釋放"},
    {IDS_PORT_GONE, "%s：下載中連接埠消失了：請檢查傳輸線，將手機關機再開機，然後重試"},
};

}  // namespace

VEXLOR_RES_EXPORT const char* VexlorResString(unsigned id) { return FindText(kTable, id); }
