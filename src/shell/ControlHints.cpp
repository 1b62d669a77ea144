#include "shell/ControlHints.h"

#include "shell/ControlIds.h"
#include "shell/Language.h"

#include <QRegularExpression>
#include <QWidget>

namespace orvex {

namespace {

// The pair SetHint attaches to a control.
constexpr const char* kHintZhProperty = "hintZh";
constexpr const char* kHintEnProperty = "hintEn";

// One hint for the controls `firstId`..`lastId` of a template (rows of like controls share theirs).
struct HintRow {
    int templateId; // 0: the ribbon and the status bar, whose command ids are unique
    int firstId;
    int lastId;
    const char* zh;
    const char* en;
};

// clang-format off
constexpr HintRow kHints[] = {
    // The ribbon: the keys are the main window's own (see COrvexv13App::HandleKeyRelease).
    {0, 32829, 32829, "话筒总音量 (W / S)", "Mic volume (W / S)"},
    {0, 32858, 32858, "话筒总音量 (W / S)", "Mic volume (W / S)"},
    {0, 32830, 32830, "效果总音量", "Effect volume"},
    {0, 32861, 32861, "效果总音量", "Effect volume"},
    {0, 32918, 32919, "混响音量 (R / F)", "Reverb volume (R / F)"},
    {0, 32806, 32806, "回声音量 (E / D)", "Echo volume (E / D)"},
    {0, 32864, 32864, "回声音量 (E / D)", "Echo volume (E / D)"},
    {0, 32831, 32831, "音乐音量 (Q / A)", "Music volume (Q / A)"},
    {0, 32867, 32867, "音乐音量 (Q / A)", "Music volume (Q / A)"},
    {0, 32846, 32846, "音乐噪声门", "Music noise gate"},
    {0, 32879, 32879, "音乐噪声门", "Music noise gate"},
    {0, 32832, 32832, "话筒总音量的当前值", "Mic volume, current value"},
    {0, 32857, 32857, "话筒总音量的当前值", "Mic volume, current value"},
    {0, 32833, 32833, "效果总音量的当前值", "Effect volume, current value"},
    {0, 32860, 32860, "效果总音量的当前值", "Effect volume, current value"},
    {0, 32920, 32921, "混响音量的当前值", "Reverb volume, current value"},
    {0, 32837, 32837, "回声音量的当前值", "Echo volume, current value"},
    {0, 32863, 32863, "回声音量的当前值", "Echo volume, current value"},
    {0, 32834, 32834, "音乐音量的当前值", "Music volume, current value"},
    {0, 32866, 32866, "音乐音量的当前值", "Music volume, current value"},
    {0, 32842, 32842, "音乐噪声门的当前值", "Music noise gate, current value"},
    {0, 32878, 32878, "音乐噪声门的当前值", "Music noise gate, current value"},
    {0, 32847, 32847, "话筒静音 (X)", "Mute the mics (X)"},
    {0, 32859, 32859, "话筒静音 (X)", "Mute the mics (X)"},
    {0, 32848, 32848, "混响静音 (V)", "Mute the reverb (V)"},
    {0, 32862, 32862, "混响静音 (V)", "Mute the reverb (V)"},
    {0, 32849, 32849, "回声静音 (C)", "Mute the echo (C)"},
    {0, 32865, 32865, "回声静音 (C)", "Mute the echo (C)"},
    {0, 32850, 32850, "音乐静音 (Z)", "Mute the music (Z)"},
    {0, 32868, 32868, "音乐静音 (Z)", "Mute the music (Z)"},
    {0, 32815, 32815, "载入机器的模式 1..4 (F1..F4)", "Load device mode 1..4 (F1..F4)"},
    {0, 32900, 32900, "载入机器的模式 1..4 (F1..F4)", "Load device mode 1..4 (F1..F4)"},
    {0, 32819, 32819, "保存到机器的模式 1..4 (左Ctrl+F1..F4)", "Save into device mode 1..4 (left Ctrl+F1..F4)"},
    {0, 32904, 32904, "保存到机器的模式 1..4 (左Ctrl+F1..F4)", "Save into device mode 1..4 (left Ctrl+F1..F4)"},
    {0, 32827, 32827, "打开参数文件 (Ctrl+O)", "Open a settings file (Ctrl+O)"},
    {0, 32881, 32881, "打开参数文件 (Ctrl+O)", "Open a settings file (Ctrl+O)"},
    {0, 32828, 32828, "保存到文件和机器的当前模式 (Ctrl+S)", "Save to a file and the current mode (Ctrl+S)"},
    {0, 32882, 32882, "保存到文件和机器的当前模式 (Ctrl+S)", "Save to a file and the current mode (Ctrl+S)"},
    {0, 32938, 32938, "通过网络连接机器", "Connect to the processor over the network"},
    {0, 33006, 33006, "手机遥控和家居自动化 (MQTT)", "Phone remote and home automation (MQTT)"},
    {0, 32887, 32887, "激励、超低音、自动电平等特色功能", "Exciter, auto subwoofer, auto level"},
    {0, 32771, 32771, "智能插座、情景和红外学习", "Smart plugs, scenes and infrared keys"},
    {0, 32922, 32922, "音乐输入源的选择和音量", "Music input source and its levels"},
    {0, 32811, 32811, "复位机器, 之后请手动重启", "Reset the processor; restart it by hand afterwards"},
    {0, 32812, 32812, "学习机器遥控器的按键", "Teach the processor's remote control"},
    {0, 32805, 32805, "切换中文/英文界面", "Switch between Chinese and English"},
    {0, 57664, 57664, "关于本程序和机器版本", "About the program and the processor"},
    {0, 1121, 1121, "旁路当前页的均衡 (P)", "Bypass this page's equaliser (P)"},
    {0, 1122, 1122, "把当前页的均衡恢复为平直", "Reset this page's equaliser to flat"},

    // The mic and music page.
    {313, 1068, 1068, "显示话筒通道A", "Show mic channel A"},
    {313, 1069, 1069, "显示话筒通道B", "Show mic channel B"},
    {313, 1070, 1070, "显示音乐通道", "Show the music channel"},
    {313, 1190, 1190, "话筒送到通道A", "Send this mic to channel A"},
    {313, 1192, 1192, "话筒送到通道A", "Send this mic to channel A"},
    {313, 1194, 1194, "话筒送到通道A", "Send this mic to channel A"},
    {313, 1196, 1196, "话筒送到通道A", "Send this mic to channel A"},
    {313, 1191, 1191, "话筒送到通道B", "Send this mic to channel B"},
    {313, 1193, 1193, "话筒送到通道B", "Send this mic to channel B"},
    {313, 1195, 1195, "话筒送到通道B", "Send this mic to channel B"},
    {313, 1197, 1197, "话筒送到通道B", "Send this mic to channel B"},
    {313, 1052, 1055, "话筒噪声门, 0..100", "Mic noise gate, 0..100"},
    {313, 1056, 1059, "话筒音量, 0..100", "Mic input volume, 0..100"},
    {313, 1060, 1060, "音乐源电平, 0..100", "Music source level, 0..100"},
    {313, 1141, 1141, "效果参数：点选一行来调节", "Effect parameters: pick a row to adjust it"},
    {313, 1000, 1000, "所选效果参数的值", "Value of the selected effect parameter"},
    {313, 1038, 1038, "所选效果参数的值，输入后回车", "Value of the selected parameter; type and press Enter"},
    {313, 1168, 1169, "音乐输入电平", "Music input level"},
    {313, 1170, 1173, "话筒输入电平", "Mic input level"},
    {313, 1144, 1144, "混响均衡：点击来编辑", "Reverb equaliser: click to edit it"},
    {313, 1143, 1143, "回声均衡：点击来编辑", "Echo equaliser: click to edit it"},

    // The effects page.
    {421, 1068, 1068, "返回话筒页", "Back to the mic page"},

    // The output channel page.
    {385, 1069, 1072, "显示这个输出通道", "Show this output channel"},
    {385, 1076, 1079, "显示这个输出通道", "Show this output channel"},
    {385, 1073, 1073, "房间和声场定位", "Room and speaker location"},
    {385, 1074, 1074, "各通道延时", "Delay of every channel"},
    {385, 1075, 1075, "各通道压限", "Compressor of every channel"},
    {385, 1045, 1053, "通道静音", "Mute this output"},
    {385, 1054, 1061, "通道反相180°", "Invert this output's phase"},
    {385, 1062, 1068, "两个通道一起调节", "Edit both channels of the pair together"},
    {385, 1217, 1224, "通道的扬声器角色", "Speaker role of this output"},
    {385, 1041, 1041, "直达声在这个通道的音量", "Direct sound in this output"},
    {385, 1042, 1042, "混响在这个通道的音量", "Reverb in this output"},
    {385, 1043, 1043, "回声在这个通道的音量", "Echo in this output"},
    {385, 1044, 1044, "音乐在这个通道的音量", "Music in this output"},
    {385, 1081, 1081, "开关这个通道的压限", "Switch this output's compressor"},
    {385, 1015, 1015, "压限阈值, -60..0 dB", "Compressor threshold, -60..0 dB"},
    {385, 1016, 1016, "压限比例, 1:1..30:1", "Compressor ratio, 1:1..30:1"},
    {385, 1017, 1017, "压限启动时间, 1..100 ms", "Compressor attack, 1..100 ms"},
    {385, 1018, 1018, "压限释放时间, 100..1000 ms", "Compressor release, 100..1000 ms"},
    {385, 1293, 1293, "开关这个通道的延时", "Switch this output's delay"},
    {385, 1190, 1190, "只延时高频", "Delay the high frequencies only"},
    {385, 1191, 1191, "延时整个通道", "Delay the whole channel"},
    {385, 1014, 1014, "高频延时的分频点", "Split frequency of the high-frequency delay"},
    {385, 1258, 1258, "这个输出通道在音箱中的位置", "Where this output sits among the speakers"},
    {385, 1019, 1019, "所选通道的延时, ms", "Delay of the selected output, ms"},

    // The room and location page.
    {334, 1069, 1072, "显示这个输出通道", "Show this output channel"},
    {334, 1076, 1079, "显示这个输出通道", "Show this output channel"},
    {334, 1073, 1075, "打开这个输出页", "Open this output page"},
    {334, 1038, 1038, "房间宽度, m", "Room width, m"},
    {334, 1039, 1039, "房间长度, m", "Room length, m"},
    {334, 1242, 1242, "房间宽度, m", "Room width, m"},
    {334, 1243, 1243, "房间长度, m", "Room length, m"},
    {334, 1230, 1230, "听众的横向位置, m", "Listener position across the room, m"},
    {334, 1049, 1049, "听众的纵向位置, m", "Listener position along the room, m"},
    {334, 1050, 1065, "扬声器位置, m", "Speaker position, m"},
    {334, 1244, 1261, "扬声器位置, m", "Speaker position, m"},
    {334, 1231, 1236, "让机器定位这个通道的扬声器", "Have the processor locate this channel's speaker"},
    {334, 1240, 1241, "让机器定位这个通道的扬声器", "Have the processor locate this channel's speaker"},
    {334, 1041, 1048, "这个通道的环绕音量, %", "Surround volume of this channel, %"},
    {334, 1237, 1237, "房间图：拖动听众和扬声器", "Room drawing: drag the listener and the speakers"},
    {334, 1216, 1216, "把位置恢复为默认", "Reset the positions"},
    {334, 1238, 1238, "把听众放到房间中央", "Put the listener in the middle of the room"},
    {334, 1239, 1239, "立即按位置修改延时和音量", "Apply the positions to delays and levels now"},

    // The delay page.
    {333, 1069, 1072, "显示这个输出通道", "Show this output channel"},
    {333, 1076, 1079, "显示这个输出通道", "Show this output channel"},
    {333, 1073, 1075, "打开这个输出页", "Open this output page"},
    {333, 1293, 1300, "开关这个通道的延时", "Switch this channel's delay"},
    {333, 1014, 1019, "高频延时的分频点", "Split frequency of the high-frequency delay"},
    {333, 1022, 1023, "高频延时的分频点", "Split frequency of the high-frequency delay"},
    {333, 1038, 1045, "这个通道的延时, ms, 输入后回车", "Delay of this channel in ms; type and press Enter"},

    // The compressor page.
    {346, 1069, 1072, "显示这个输出通道", "Show this output channel"},
    {346, 1076, 1079, "显示这个输出通道", "Show this output channel"},
    {346, 1073, 1075, "打开这个输出页", "Open this output page"},
    {346, 1134, 1134, "选择通道", "Choose the channel"},
    {346, 1125, 1125, "压限曲线：输入电平对输出电平", "Compressor curve: output level against input level"},
    {346, 1014, 1014, "压限阈值, -60..0 dB", "Compressor threshold, -60..0 dB"},
    {346, 1015, 1015, "压限比例, 1:1..30:1", "Compressor ratio, 1:1..30:1"},
    {346, 1016, 1016, "压限启动时间, 1..100 ms", "Compressor attack, 1..100 ms"},
    {346, 1017, 1017, "压限释放时间, 1..1000 ms", "Compressor release, 1..1000 ms"},
    {346, 1045, 1045, "开关这个通道的压限", "Switch this channel's compressor"},
    {346, 1038, 1038, "压限阈值, -60..0 dB", "Compressor threshold, -60..0 dB"},
    {346, 1039, 1039, "压限比例, 1:1..30:1", "Compressor ratio, 1:1..30:1"},
    {346, 1040, 1040, "压限启动时间, 1..100 ms", "Compressor attack, 1..100 ms"},
    {346, 1041, 1041, "压限释放时间, 1..1000 ms", "Compressor release, 1..1000 ms"},

    // Machine settings.
    {335, 1039, 1040, "开机时使用设定的音量", "Use the set volume at power-on"},
    {335, 1014, 1014, "开机时的话筒音量", "Mic volume at power-on"},
    {335, 1015, 1015, "开机时的音乐音量", "Music volume at power-on"},
    {335, 1016, 1016, "话筒音量的上限", "Highest mic volume"},
    {335, 1019, 1019, "音乐音量的上限", "Highest music volume"},
    {335, 1134, 1134, "机器开机时进入的模式", "Mode the processor starts in"},
    {335, 1041, 1041, "锁定机器面板按键", "Lock the panel keys"},
    {335, 1042, 1042, "锁定音量", "Lock the volume"},
    {335, 1043, 1043, "锁定模式", "Lock the mode"},
    {335, 1049, 1049, "HDMI输出口静音", "Mute the HDMI output"},
    {335, 1190, 1190, "音量随开关机保存", "Keep the volume across power-off"},
    {335, 1191, 1191, "音量随模式保存", "Keep the volume with each mode"},
    {335, 1192, 1192, "DTS/AC3 环绕声送到SL/SR", "Send DTS/AC3 surround to SL/SR"},
    {335, 1195, 1195, "DTS/AC3 环绕声送到SBL/SBR", "Send DTS/AC3 surround to SBL/SBR"},
    {335, 1199, 1199, "DTS/AC3 环绕声送到全部环绕", "Send DTS/AC3 surround to SL/SR and SBL/SBR"},
    {335, 1070, 1070, "清除机器中的全部插座", "Clear every plug from the processor"},
    {335, 1073, 1073, "把设置发送到机器", "Send these settings to the processor"},
    {335, 2, 2, "关闭，不发送", "Close without sending"},
    {335, 32823, 32826, "把这个模式恢复为出厂设置", "Restore this mode to its factory settings"},

    // Input source.
    {512, 1190, 1198, "选择音乐输入源", "Use this music input"},
    {512, 1041, 1049, "这个输入源的音量", "Level of this input"},

    // Features.
    {515, 1040, 1040, "开关话筒激励", "Switch the mic exciter"},
    {515, 1041, 1041, "开关音乐均衡", "Switch the music equaliser"},
    {515, 1042, 1042, "开关自动超低音", "Switch the auto subwoofer"},
    {515, 1044, 1044, "开关自动电平", "Switch the auto level"},
    {515, 1045, 1045, "开关话筒低频增强", "Switch the mic bass boost"},
    {515, 1043, 1043, "激励低频频率, 70..450 Hz", "Exciter low frequency, 70..450 Hz"},
    {515, 1049, 1049, "激励低频增益, 0..12 dB", "Exciter low gain, 0..12 dB"},
    {515, 1055, 1055, "激励中频频率, 800..5000 Hz", "Exciter mid frequency, 800..5000 Hz"},
    {515, 1056, 1056, "激励中频增益, 0..12 dB", "Exciter mid gain, 0..12 dB"},
    {515, 1057, 1057, "激励高频频率, 3200..18000 Hz", "Exciter high frequency, 3200..18000 Hz"},
    {515, 1058, 1058, "激励高频增益, 0..12 dB", "Exciter high gain, 0..12 dB"},
    {515, 1059, 1059, "谐波增益, %", "Harmonic gain, %"},
    {515, 1060, 1060, "谐波次数比, %", "Harmonic order ratio, %"},
    {515, 1046, 1046, "音乐低频的分频点, Hz", "Music bass crossover, Hz"},
    {515, 1047, 1047, "音乐低频延时, ms", "Music bass delay, ms"},
    {515, 1048, 1048, "音乐低频增益, %", "Music bass gain, %"},
    {515, 1052, 1052, "自动电平比率", "Auto level ratio"},
    {515, 1053, 1053, "自动电平启动时间, ms", "Auto level attack, ms"},
    {515, 1054, 1054, "自动电平释放时间, ms", "Auto level release, ms"},
    {515, 1050, 1050, "超低音比例, %", "Subwoofer ratio, %"},
    {515, 1051, 1051, "输入电平限制, dB", "Input level limit, dB"},
    {515, 1061, 1061, "谐波混合比, %", "Harmonic mix, %"},
    {515, 1062, 1062, "谐波总音量, %", "Harmonic volume, %"},
    {515, 1063, 1063, "话筒低频增强, dB", "Mic bass boost, dB"},

    // Connect over the network.
    {521, 1039, 1039, "机器的通信端口, 1..65535", "The processor's port, 1..65535"},
    {521, 1300, 1300, "连接断开后自动重新连接", "Reconnect by itself when the link drops"},
    {521, 1, 1, "连接这个地址的机器", "Connect to the processor at this address"},
    {521, 2, 2, "关闭，不连接", "Close without connecting"},
    {521, 3, 3, "在本网段寻找机器", "Look for processors on this network"},

    // Remote control.
    {373, 1, 1, "把按键码表发送到机器", "Send the key table to the processor"},
    {373, 3, 3, "从遥控数据文件载入", "Load from a remote data file"},
    {373, 4, 4, "保存为遥控数据文件", "Save as a remote data file"},
    {373, 1216, 1216, "如何学习遥控器", "How to teach the remote"},
    {373, 1279, 1279, "遥控器：点击一个键来学习", "The remote: click a key to teach it"},
    {372, 1008, 1008, "收到的遥控码", "The infrared code received"},
    {372, 1, 1, "关闭", "Close"},
    {372, 3, 3, "放弃这个按键的学习", "Stop learning this key"},

    // Smart plugs.
    {479, 1074, 1074, "插座列表", "The plug list"},
    {479, 1077, 1077, "编辑情景", "Edit the scenes"},
    {479, 1080, 1080, "学习插座的红外键", "Learn a plug's infrared keys"},
    {479, 1005, 1005, "编辑开机情景", "Edit the power-on scene"},
    {479, 1007, 1007, "编辑关机情景", "Edit the power-off scene"},
    {479, 1078, 1078, "复位插座模块", "Reset the plug module"},
    {479, 1079, 1079, "打开插座帮助", "Open the smart plug help"},
    {481, 1076, 1076, "添加一个新插座", "Add a new plug"},
    {481, 1075, 1075, "删除所选插座", "Delete the selected plug"},
    {482, 1217, 1217, "选择要编辑的情景", "Scene to edit"},
    {482, 1223, 1223, "情景的步骤", "Steps of the scene"},
    {482, 1134, 1134, "步骤的插座", "Plug of the step"},
    {482, 1045, 1045, "插座开或关", "Plug on or off"},
    {482, 1014, 1014, "调光插座的亮度", "Dimmer level"},
    {482, 1135, 1135, "要发射的红外键", "Infrared key to send"},
    {482, 1238, 1238, "只列出学习过的键", "List only learned keys"},
    {482, 1237, 1237, "延时, 秒", "Pause, seconds"},
    {482, 1068, 1068, "添加插座步骤", "Add a plug step"},
    {482, 1236, 1236, "添加红外键步骤", "Add an infrared key step"},
    {482, 1235, 1235, "添加延时步骤", "Add a pause step"},
    {482, 1240, 1240, "用这个值修改所选步骤", "Change the selected step to this plug value"},
    {482, 1241, 1241, "用这个键修改所选步骤", "Change the selected step to this key"},
    {482, 1242, 1242, "用这个延时修改所选步骤", "Change the selected step to this pause"},
    {482, 1069, 1069, "删除所选步骤", "Delete the selected step"},
    {482, 1075, 1075, "所选步骤上移", "Move the selected step up"},
    {482, 1076, 1076, "所选步骤下移", "Move the selected step down"},
    {482, 1077, 1077, "清空这个情景", "Clear this scene"},
    {482, 1074, 1074, "把情景保存到机器", "Save the scene to the processor"},
    {482, 1081, 1081, "运行这个情景", "Run this scene"},
    {516, 1134, 1134, "要学习的插座", "Plug whose keys you learn"},
    {516, 1223, 1223, "插座的红外键", "The plug's infrared keys"},
    {516, 1038, 1038, "所选键的名称", "Name of the selected key"},
    {516, 1233, 1233, "学习所选键的红外码", "Learn the selected key's code"},
    {516, 1232, 1232, "发射所选键来测试", "Send the selected key to test it"},
    {516, 1234, 1234, "用输入的名称重命名", "Rename the key to the name typed"},
    {516, 1235, 1235, "清除所选键的红外码", "Clear the selected key's code"},
    {480, 1, 1, "保存插座", "Save the plug"},
    {480, 2, 2, "关闭，不保存", "Close without saving"},
    {485, 1005, 1005, "打开插座", "Switch the plug on"},
    {485, 1007, 1007, "关闭插座", "Switch the plug off"},
    {484, 1070, 1070, "关闭调光插座", "Switch the dimmer off"},
    {484, 1071, 1071, "调到最亮", "Full brightness"},

    // The program's own small windows.
    {486, 3, 3, "中止等待", "Stop waiting"},
    {513, 1, 1, "选择这一项", "Choose this one"},
    {513, 3, 3, "选择这一项", "Choose this one"},
    {513, 2, 2, "取消", "Cancel"},
    {100, 1, 1, "关闭", "Close"},
    {100, 1045, 1045, "读取电平表", "Read the level meters"},
};
// clang-format on

int TemplateAbove(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (const int t = TemplateIdOf(w); t != 0)
            return t;
    }
    return 0;
}

QString AttachedHint(const QWidget* widget) {
    const QVariant zh = widget->property(kHintZhProperty);
    if (!zh.isValid())
        return {};
    return UiLanguageIndex() == kLanguageEnglish ? widget->property(kHintEnProperty).toString() : zh.toString();
}

// The hint of a control by the table, in the current language; empty when the table has none.
QString TableHint(int templateId, int ctrlId) {
    if (ctrlId == 0)
        return {};
    for (const HintRow& row : kHints) {
        if (row.templateId == templateId && ctrlId >= row.firstId && ctrlId <= row.lastId)
            return Tr2(row.zh, row.en);
    }
    return {};
}

QString AccessibleNameOfHint(const QString& hint) {
    static const QRegularExpression keys(QStringLiteral("\\s*[(（][^()（）]*[)）]$"));
    QString name = hint;
    name.remove(keys);
    return name.isEmpty() ? hint : name;
}

void Apply(QWidget* widget, const QString& hint) {
    if (hint.isEmpty())
        return;
    widget->setToolTip(hint);
    // A screen reader says the name, then the description: the keys are in the latter.
    widget->setAccessibleName(AccessibleNameOfHint(hint));
    widget->setAccessibleDescription(hint);
}

} // namespace

void SetHint(QWidget* widget, const char* zh, const char* en) {
    widget->setProperty(kHintZhProperty, QString::fromUtf8(zh));
    widget->setProperty(kHintEnProperty, QString::fromUtf8(en));
    Apply(widget, AttachedHint(widget));
}

void ApplyControlHints(QWidget* root) {
    if (!root)
        return;
    auto applyOne = [](QWidget* w) {
        QString hint = AttachedHint(w);
        if (hint.isEmpty())
            hint = TableHint(TemplateAbove(w), CtrlId(w));
        Apply(w, hint);
    };
    applyOne(root);
    for (QWidget* w : root->findChildren<QWidget*>())
        applyOne(w);
}

bool HintPair(const QWidget* widget, QString& zh, QString& en) {
    if (widget == nullptr)
        return false;
    if (const QVariant attached = widget->property(kHintZhProperty); attached.isValid()) {
        zh = AccessibleNameOfHint(attached.toString());
        en = AccessibleNameOfHint(widget->property(kHintEnProperty).toString());
        return true;
    }
    const int ctrlId = CtrlId(widget);
    if (ctrlId == 0)
        return false;
    const int templateId = TemplateAbove(widget);
    for (const HintRow& row : kHints) {
        if (row.templateId == templateId && ctrlId >= row.firstId && ctrlId <= row.lastId) {
            zh = AccessibleNameOfHint(QString::fromUtf8(row.zh));
            en = AccessibleNameOfHint(QString::fromUtf8(row.en));
            return true;
        }
    }
    return false;
}

} // namespace orvex
