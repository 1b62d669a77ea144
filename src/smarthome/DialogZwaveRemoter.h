#pragma once

#include "shell/PageContext.h"
#include "model/SmartHomeTables.h"
#include "smarthome/HomeTheaterPage.h"

#include <QString>

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;
class QTreeWidget;

namespace orvex {

// A remote key of a plug as the scene editor lists it.
struct SceneKey {
    int index = 0; // 0..63
    QString name;
    bool learned = false;
};

// The scene editor page: the six scenes of 28 commands, listed, edited, reordered, saved as one
// memory write and tested. The list shows every command the scene holds (HDMI selections, delays,
// plugs, also plugs that have gone and unknown targets), numbered 1..n; saving writes exactly the
// listed rows.
class CDialogZwaveRemoter : public CHomeTheaterPage {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 482;
    static constexpr int kSceneComboId = 1217;
    static constexpr int kListId = 1223;
    static constexpr int kPlugComboId = 1134;
    static constexpr int kOnCheckId = 1045;
    static constexpr int kLevelSliderId = 1014;
    static constexpr int kLevelTextId = 1008;
    static constexpr int kKeyComboId = 1135;
    static constexpr int kShowLearnedId = 1238;
    static constexpr int kDelaySliderId = 1237;
    static constexpr int kDelayTextId = 1009;
    static constexpr int kAddId = 1068, kAddKeyId = 1236, kAddDelayId = 1235;
    static constexpr int kResetValueId = 1240, kResetKeyId = 1241, kResetDelayId = 1242;
    static constexpr int kDeleteId = 1069, kUpId = 1075, kDownId = 1076, kClearId = 1077;
    static constexpr int kSaveId = 1074, kTestId = 1081;
    // A row's command: target | value << 8.
    static constexpr int kCommandRole = Qt::UserRole + 1;
    // How long "Saved" stays beside the save button.
    static constexpr int kSavedNoteMs = 2500;

    CDialogZwaveRemoter(const PageContext& ctx, QWidget* parent);

    void RefreshFromStore() override;
    void Relabel() override;

    // The value texts of the scene list and the plug dialogs.
    static QString ValueText(uint8_t value, const QString& keyName = {});
    static QString SceneName(int scene);

    int Scene() const { return m_scene; }
    void SelectScene(int scene);
    bool Changed() const { return m_changed; }
    // The listed commands, in list order.
    std::vector<uint16_t> Rows() const;
    // The record Save writes: the listed commands in order, the rest empty.
    SceneRecord BuildRecord() const;

    // The buttons' work.
    void Add();
    void AddKey();
    void AddDelay();
    void ResetValue();
    void ResetKey();
    void ResetDelay();
    void DeleteRow();
    void MoveUp();
    void MoveDown();
    void ClearRows();
    bool Save();
    void Test();

    QTreeWidget* List() const { return m_list; }
    QComboBox* PlugCombo() const { return m_plugCombo; }
    QComboBox* KeyCombo() const { return m_keyCombo; }
    QSlider* LevelSlider() const { return m_level; }
    QSlider* DelaySlider() const { return m_delay; }
    // Beside the save button: says for a moment that the scene went to the module.
    QLabel* SavedNote() const { return m_savedNote; }

private:
    void LoadScene();
    void FillPlugs();
    void OnPlugChosen();
    void FillKeys();
    // The value of "Add" for the chosen plug; false (after the notice) when there is none to add.
    bool PlugCommand(uint16_t* command);
    bool KeyCommand(uint16_t* command);
    uint16_t DelayCommand() const;
    // The selected row takes the command `makeCommand` gives (false: none); a full list or no
    // selection is said instead.
    void ReplaceSelected(const std::function<bool(uint16_t*)>& makeCommand);
    bool RoomForOneMore();
    int SelectedRow() const;
    void AppendRow(uint16_t command);
    void SetRow(int row, uint16_t command);
    // The index column reads 1..n in list order.
    void Renumber();
    void Notice(const QString& text);

    PageContext m_ctx;
    QComboBox* m_sceneCombo = nullptr;
    QTreeWidget* m_list = nullptr;
    QComboBox* m_plugCombo = nullptr;
    QCheckBox* m_on = nullptr;
    QSlider* m_level = nullptr;
    QLabel* m_levelText = nullptr;
    QComboBox* m_keyCombo = nullptr;
    QCheckBox* m_showLearned = nullptr;
    QSlider* m_delay = nullptr;
    QLabel* m_delayText = nullptr;
    QLabel* m_savedNote = nullptr;
    QTimer* m_savedNoteTimer = nullptr;
    int m_scene = 0;
    bool m_changed = false;
};

} // namespace orvex
