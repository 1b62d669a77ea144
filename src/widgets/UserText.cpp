#include "widgets/UserText.h"

#include "widgets/EqSection.h"
#include "widgets/UiLanguage.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringConverter>
#include <QStringList>

#include <algorithm>

namespace orvex {

namespace {

constexpr qint64 kMaxUserTextBytes = 4 * 1024 * 1024;

} // namespace

std::optional<std::string> ReadUserTextFile(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return std::nullopt;
    }
    if (file.size() > kMaxUserTextBytes) {
        error = UiText("文件大于 4 MB，不是文本列表", "the file is larger than 4 MB and is not a text list");
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kMaxUserTextBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return std::nullopt;
    }
    // Programs on other systems often write UTF-16 with a byte-order mark; the readers take UTF-8.
    const std::optional<QStringConverter::Encoding> encoding = QStringConverter::encodingForData(bytes);
    if (encoding && *encoding != QStringConverter::Utf8) {
        QStringDecoder decode(*encoding);
        const QString text = decode(bytes);
        if (decode.hasError()) {
            error = UiText("文件的编码无法识别", "the file's text encoding could not be read");
            return std::nullopt;
        }
        const QByteArray utf8 = text.toUtf8();
        return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
    }
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::optional<std::string> ReadUserText(IEqSectionHost& host, QWidget* parent, const QString& path,
                                        const QString& caption) {
    QString error;
    std::optional<std::string> text = ReadUserTextFile(path, error);
    if (!text)
        host.ShowError(parent, UiText("无法读取 ", "Cannot read ") + path + QStringLiteral(": ") + error, caption);
    return text;
}

std::optional<Measurement> ReadResponseFile(IEqSectionHost& host, QWidget* parent, const QString& path,
                                            const QString& caption, const QString& notLoaded, QString& name) {
    const QString file = path.isEmpty() ? host.AskFileName(parent, false, caption, {},
                                                           UiText("响应曲线 (*.txt *.frd *.csv);;所有文件 (*)",
                                                                  "Responses (*.txt *.frd *.csv);;All files (*)"),
                                                           {})
                                        : path;
    if (file.isEmpty())
        return std::nullopt;
    const std::optional<std::string> text = ReadUserText(host, parent, file, caption);
    if (!text)
        return std::nullopt;
    const MeasurementParseResult parsed = ParseMeasurementText(*text);
    if (!parsed.Ok()) {
        host.ShowError(parent, notLoaded + QLatin1Char('\n') + ListTextErrors(parsed.errors), caption);
        return std::nullopt;
    }
    name = QFileInfo(file).fileName();
    return NormaliseMeasurement(parsed.response);
}

QString TextErrorReason(const std::string& message) {
    const QString english = QString::fromStdString(message);
    if (UiLanguageIndex() != 0)
        return english;
    // The readers word their reasons in English; in Chinese each known reason is given in Chinese with
    // the values it quotes, and an unknown one stands as it is.
    struct Reason {
        const char* pattern;
        const char* chinese; // %1, %2: the pattern's captures
    };
    static const Reason kReasons[] = {
        {"notch filters are not supported", "不支持陷波滤波器"},
        {"all-pass filters are not supported", "不支持全通滤波器"},
        {"band-pass filters are not supported", "不支持带通滤波器"},
        {"first-order pass filters are not supported", "不支持一阶高通或低通滤波器"},
        {"shelves given by slope are not supported; give the shelf a Q", "不支持以斜率给出的架式滤波器，请给出 Q 值"},
        {"bandwidth is not supported; give a Q", "不支持以带宽给出，请给出 Q 值"},
        {"the filter line is empty", "滤波器行是空的"},
        {"the filter kind is missing", "缺少滤波器类型"},
        {"the frequency \\(Fc\\) is missing", "缺少频率 (Fc)"},
        {"the gain is missing", "缺少增益"},
        {"the Q is missing", "缺少 Q 值"},
        {"the preamp line needs a level in dB", "前级增益行需要一个以 dB 表示的数值"},
        {"a value is outside what a band holds", "数值超出频段能保存的范围"},
        {"no such equaliser path", "没有这个均衡通道"},
        {"expected a frequency and a level", "应为频率和电平两列"},
        {"the frequency must be above 0 Hz", "频率必须大于 0 Hz"},
        {"the frequency does not rise", "频率没有逐行升高"},
        {"the file holds fewer than two points", "文件中的数据点少于两个"},
        {"expected ON or OFF, found '(.*)'", "应为 ON 或 OFF，却是“%1”"},
        {"unknown filter kind '(.*)'", "未知的滤波器类型“%1”"},
        {"unexpected '(.*)'", "无法识别“%1”"},
        {"'(.*)' has no value", "“%1”后面缺少数值"},
        {"'(.*)' is not a number", "“%1”不是数字"},
        {"frequency (\\S+) Hz is outside (\\S+) Hz", "频率 %1 Hz 超出 %2 Hz"},
        {"gain (\\S+) dB is outside (\\S+) dB", "增益 %1 dB 超出 %2 dB"},
        {"Q (\\S+) is outside (\\S+)", "Q 值 %1 超出 %2"},
        {"more filters than the (\\d+) bands this path has free", "滤波器多于该通道可用的 %1 个频段"},
    };
    for (const Reason& reason : kReasons) {
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(QString::fromLatin1(reason.pattern)));
        const QRegularExpressionMatch match = pattern.match(english);
        if (!match.hasMatch())
            continue;
        QString chinese = QString::fromUtf8(reason.chinese);
        for (int i = 1; i <= pattern.captureCount(); ++i)
            chinese = chinese.arg(match.captured(i));
        return chinese;
    }
    return english;
}

QString ListTextErrors(const std::vector<FilterTextError>& errors, int limit) {
    QStringList lines;
    const int shown = std::min(static_cast<int>(errors.size()), limit);
    for (int i = 0; i < shown; ++i) {
        const FilterTextError& e = errors[static_cast<size_t>(i)];
        const QString message = TextErrorReason(e.message);
        if (e.line <= 0)
            lines << message;
        else
            lines << (UiLanguageIndex() == 0 ? QStringLiteral("第 %1 行：%2") : QStringLiteral("line %1: %2"))
                         .arg(e.line)
                         .arg(message);
    }
    if (static_cast<int>(errors.size()) > shown) {
        const int more = static_cast<int>(errors.size()) - shown;
        lines << (UiLanguageIndex() == 0 ? QStringLiteral("……另有 %1 处错误").arg(more)
                                         : QStringLiteral("… and %1 more").arg(more));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace orvex
