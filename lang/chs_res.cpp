// SPDX-License-Identifier: Apache-2.0
// Simplified Chinese texts.
#include "lang/string_table.h"

namespace {

using namespace lang;

constexpr StringEntry kTable[] = {
    {IDS_TITLE, "Vexlor %s 固件升级工具"},
    {IDS_STOP, "停止"},
    {IDS_NO_PORT, "没有 COM 端口"},
    {IDS_PROGRESS, "下载中：已完成 %d%%"},
    {IDS_ABOUT, "关于 Vexlor %s..."},
    {IDS_PORT_PREFIX, "COM"},
    {IDS_DIAG_READY, "已找到诊断模式的手机，正在检查软件版本..."},
    {IDS_INSTRUCTION_1, "%s 手机固件升级步骤："},
    {IDS_INSTRUCTION_2, "1. 请先给 %s 的电池充电，或让手机保持连接充电器。"},
    {IDS_INSTRUCTION_3, "2. 打开 %s 的电源，并用数据线连接到这台电脑。"},
    {IDS_INSTRUCTION_4, "3. 关闭其他可能使用 %s 端口的程序。"},
    {IDS_INSTRUCTION_5, "4. 打开右侧的端口列表，选择数据线所在的端口。"},
    {IDS_INSTRUCTION_6, "5. 按下“开始”，工具会先检查 %s 的软件版本。"},
    {IDS_INSTRUCTION_7, "6. 下载期间请勿拔出数据线或关闭 %s 的电源。"},
    {IDS_INSTRUCTION_8, "7. 升级 %s 期间，最新的消息显示在列表最上方。"},
    {IDS_INSTRUCTION_9, "8. 下载完成后，%s 会自动重新启动。"},
    {IDS_INSTRUCTION_10, "9. 如果找不到 %s，请检查数据线和端口，再按“开始”。"},
    {IDS_INSTRUCTION_11, "10. 版本不符表示此固件不适用于这部 %s。"},
    {IDS_INSTRUCTION_12, "11. 按“停止”会取消下载，之后 %s 必须重新下载。"},
    {IDS_INSTRUCTION_13, "12. 请等 %s 重新启动后再拔出数据线。"},
    {IDS_DONE, "下载完成，手机将以新固件重新启动。"},
    {IDS_START, "开始"},
    {IDS_BACKUP, "备份"},
    {IDS_RESTORE, "还原"},
    {IDS_CHECK_PROGRESS, "正在检查固件数据：%d%%"},
    {IDS_CHECK_FAILED, "本工具的固件数据已损坏或不完整，工具即将关闭。"},
    {IDS_ERR_VERSION, "无法检查手机的软件版本。请将手机关机再开机，然后重试。"},
    {IDS_ERR_PORT, "无法在此端口上连到手机。"},
    {IDS_ERR_MODE, "无法将手机切换到下载模式。请将手机关机再开机，然后重试。"},
    {IDS_ERR_WRITE, "向手机写入固件失败。请将手机关机再开机，然后重试。"},
    {IDS_STARTED, "下载开始，正在查找手机..."},
    {IDS_ERR_ACC, "手机拒绝开始下载。"},
    {IDS_STOP_QUESTION, "确定要停止下载吗？之后手机必须重新下载。"},
    {IDS_STOPPED, "下载已停止。"},
    {IDS_CLOSE_QUESTION, "下载正在进行中，要停止下载并关闭工具吗？"},
    {IDS_ERR_NOT_DIAG, "手机已在下载模式：请将手机关机再开机，然后重试。"},
    {IDS_ERR_FINAL, "手机未接受下载结束。"},
    {IDS_ERR_NAND, "手机无法将固件写入 NAND 闪存。"},
    {IDS_ERR_VERSION_MISMATCH, "版本不符：手机的软件版本为 %s，此固件适用于 %s 版。"},
    {IDS_PORT_ABSENT, "%s 不存在：设备没有出现。请检查数据线和端口。"},
    {IDS_PORT_NO_ACCESS, "无法打开 %s：%s。请加入 dialout 组（sudo adduser $USER dialout），然后重新登录。"},
    {IDS_PORT_IN_USE, "%s 正被其他程序使用：%s。请关闭该程序，然后重试。"},
    {IDS_PORT_IN_USE_UNKNOWN, "%s 正被其他程序使用。请关闭该程序，然后重试。"},
    {IDS_PORT_NOT_SERIAL, "%s 不是串口：%s。"},
    {IDS_PORT_NO_ANSWER, "%s 上没有手机响应。请检查数据线，并确认手机已开机。"},
    {IDS_PORT_FAILED, "无法打开 %s：%s。"},
    {IDS_NO_LOAD, "此程序未带固件。请用 vexlor-pack 将固件打包进此程序的副本。"},
    {IDS_SUMMARY, "已发送 %s 字节，用时 %s 秒，平均 %s。"},
    {IDS_PORT_BUSY_WAITING, "%s 正被 %s 使用；等待其释放"},
    {IDS_PORT_BUSY_WAITING_UNKNOWN, "%s 正被其他程序使用；等待其释放"},
    {IDS_PORT_GONE, "%s：下载中端口消失了：请检查数据线，将手机关机再开机，然后重试"},
};

}  // namespace

VEXLOR_RES_EXPORT const char* VexlorResString(unsigned id) { return FindText(kTable, id); }
