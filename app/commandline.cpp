#include "app/commandline.h"

#include <optional>

namespace quorvel {

namespace {

struct OwnOption {
    QLatin1String name;
    std::optional<Command> command;  // none: --new-copy
};

const OwnOption kOwnOptions[] = {
    {QLatin1String("--draw"), Command::ToggleDraw},
    {QLatin1String("--next"), Command::Next},
    {QLatin1String("--mini"), Command::ShowMiniWindow},
    {QLatin1String("--new-copy"), std::nullopt},
};

QString helpText()
{
    return QStringLiteral(
        "用法：quorvel [选项]\n"
        "课堂点名：随机或依次点名，并记录教师对学生的评价。\n"
        "\n"
        "选项：\n"
        "  -h, --help     显示本说明后退出\n"
        "  -v, --version  显示版本号后退出\n"
        "  --draw         开始随机点名，正在随机点名时停止\n"
        "  --next         依次点名时换到下一个学生\n"
        "  --mini         打开小窗\n"
        "  --new-copy     另外运行一个Quorvel，即使已有一个在使用同一数据库文件\n"
        "\n"
        "已有Quorvel在使用同一数据库文件时，再次启动只会把它带到最前面，\n"
        "--draw、--next 和 --mini 交给它执行；它不能执行时，原因写在标准错误输出上。\n"
        "\n"
        "数据库文件 xsdata.d 放在程序所在的文件夹里。程序安装在系统目录中、\n"
        "那里又没有这个文件时，改用 $XDG_DATA_HOME/quorvel/xsdata.d\n"
        "（通常是 ~/.local/share/quorvel/xsdata.d）；文件不存在时，启动时会\n"
        "询问是否新建一个空的数据库。\n");
}

} // namespace

CommandLine readCommandLine(const QStringList &arguments, const QString &version)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        CommandLine answer;
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            answer.action = CommandLine::Action::Help;
            answer.text = helpText();
            return answer;
        }
        if (a == QLatin1String("-v") || a == QLatin1String("--version")) {
            answer.action = CommandLine::Action::Version;
            answer.text = QStringLiteral("课堂点名 Quorvel %1\n").arg(version);
            return answer;
        }
    }
    CommandLine run;
    for (qsizetype i = 1; i < arguments.size(); ++i)
        for (const OwnOption &o : kOwnOptions)
            if (arguments.at(i) == o.name) {
                if (o.command)
                    run.commands.push_back(*o.command);
                else
                    run.newCopy = true;
            }
    return run;
}

bool isOwnOption(const QString &argument)
{
    for (const OwnOption &o : kOwnOptions)
        if (argument == o.name)
            return true;
    return false;
}

QString unknownArgumentText(const QString &argument)
{
    return QStringLiteral("无法识别的参数：%1\n用 quorvel --help 查看用法。\n").arg(argument);
}

} // namespace quorvel
