#pragma once
// The frame of four options (浏览, 增加 or 新增, 修改, 删除) whose choice decides what a
// maintenance window's 确定 does.
#include <QStringList>

#include <array>
#include <functional>

class QGroupBox;
class QObject;
class QRadioButton;

// Fills `frame` with the four options in two rows (named optGn_0 to optGn_3), checks the first and
// calls `onClick` with the index of an option the user clicks, for as long as `context` lives.
void BuildOptionFrame(QGroupBox* frame, const QStringList& captions, std::array<QRadioButton*, 4>& options,
                      QObject* context, std::function<void(int)> onClick);
