#pragma once

#include <QString>

// What the main window says, word for word.
namespace quorvel::texts {

inline const QString kCaption = QStringLiteral("QuorvelV1.0");
inline const QString kStartRandom = QStringLiteral("开始随机点名");
inline const QString kStopRandom = QStringLiteral("停止随机点名");
inline const QString kStartWalk = QStringLiteral("开始依次点名");
inline const QString kStopWalk = QStringLiteral("停止依次点名");

inline const QString kNoClassChosen = QStringLiteral("没选择年级或班级！");
inline const QString kNoStudents = QStringLiteral("没有相应的数据！");
inline const QString kBadStopTime = QStringLiteral("自动停止时间必须是0到99之间的整数！");
inline const QString kNotCalled = QStringLiteral("你还没进行任何形式的点名！");
inline const QString kNoGrade = QStringLiteral("请选择评价等级！");
inline const QString kBadCredits = QStringLiteral("倒扣学分必须是0到999之间的整数！");
inline const QString kRecorded = QStringLiteral("评价记入成功！");
inline const QString kUndoDuringDraw = QStringLiteral("点名进行中，不能撤销。");
inline const QString kNothingToUndo = QStringLiteral("没有可以撤销的评价。");
inline const QString kUndoFailed = QStringLiteral("无法撤销：");
inline const QString kUndone = QStringLiteral("已撤销评价：");
inline const QString kNotLogged = QStringLiteral("评价已记入，但没有写入评价记录：");
inline const QString kNotLoggedAfter = QStringLiteral("。\n这样记入的评价不会出现在评价历史中。");

inline const QString kDatabaseFailed = QStringLiteral("数据库操作失败：");
inline const QString kDatabaseMissing = QStringLiteral("找不到数据库文件：");
inline const QString kDatabaseUnopenable = QStringLiteral("无法打开数据库文件：");

// What assistive technology hears of the displays: what they show as their
// name, what they are for as their description.
inline const QString kCalledStudent = QStringLiteral("点名学生");
inline const QString kNobodyCalled = QStringLiteral("尚未点名");
inline const QString kCountdownName = QStringLiteral("自动停止剩余秒数");
inline const QString kStopTimeName = QStringLiteral("自动停止时间（秒）");

inline const QString kLoading = QStringLiteral("数据加载中……");
inline const QString kLoadingShort = QStringLiteral("数据加载中…");

} // namespace quorvel::texts
