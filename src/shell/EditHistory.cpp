#include "shell/EditHistory.h"

#include "shell/ControlHints.h"
#include "shell/Language.h"
#include "widgets/UiLanguage.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <optional>

namespace orvex {

namespace {

int LoopLevel() {
    return QThread::currentThread()->loopLevel();
}

// The control a press or wheel turn at a point of `window` lands on.
QWidget* WidgetAt(const QObject* window, const QPointF& position) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->windowHandle() == window) {
            QWidget* child = top->childAt(position.toPoint());
            return child ? child : top;
        }
    }
    return nullptr;
}

// The main window's own keys, which act on the ribbon's controls whatever has the focus.
struct KeyName {
    int key;
    const char* zh;
    const char* en;
};
constexpr KeyName kKeyNames[] = {
    {Qt::Key_Q, "音乐音量", "Music volume"},  {Qt::Key_A, "音乐音量", "Music volume"},
    {Qt::Key_W, "话筒总音量", "Mic volume"},  {Qt::Key_S, "话筒总音量", "Mic volume"},
    {Qt::Key_E, "回声音量", "Echo volume"},   {Qt::Key_D, "回声音量", "Echo volume"},
    {Qt::Key_R, "混响音量", "Reverb volume"}, {Qt::Key_F, "混响音量", "Reverb volume"},
    {Qt::Key_Z, "音乐静音", "Music mute"},    {Qt::Key_X, "话筒静音", "Mic mute"},
    {Qt::Key_C, "回声静音", "Echo mute"},     {Qt::Key_V, "混响静音", "Reverb mute"},
    {Qt::Key_P, "均衡旁通", "EQ bypass"},
};

const KeyName* NameOfKey(int key) {
    for (const KeyName& k : kKeyNames) {
        if (k.key == key)
            return &k;
    }
    return nullptr;
}

// A menu's command is named by its entry ("Paste EQ"), in both languages where the entry keeps them: the
// menu has no name of its own, and what the command changes may span paths no single name covers.
std::optional<JournalText> EntryName(const QAction* action) {
    if (action == nullptr || action->isSeparator())
        return std::nullopt;
    QString zh;
    QString en;
    if (!ActionTexts(action, zh, en))
        zh = en = action->text();
    auto clean = [](QString text) {
        text.remove(QLatin1Char('&'));
        if (text.endsWith(QChar(0x2026)))
            text.chop(1);
        else if (text.endsWith(QLatin1String("...")))
            text.chop(3);
        return text.trimmed().toStdString();
    };
    JournalText text{clean(zh), clean(en)};
    if (text.en.empty())
        return std::nullopt;
    return text;
}

uint64_t KeyOf(const void* widget, int salt) {
    return (reinterpret_cast<uintptr_t>(widget) << 8) ^ static_cast<uint64_t>(static_cast<unsigned>(salt)) ^ 1u;
}

} // namespace

CEditHistory::CEditHistory(ParameterStore& store, Restore restore, QObject* parent)
    : QObject(parent), m_store(store), m_restore(std::move(restore)),
      m_clock([] { return std::chrono::steady_clock::now(); }) {}

CEditHistory::~CEditHistory() {
    if (m_watching)
        qApp->removeEventFilter(this);
}

void CEditHistory::Watch() {
    if (m_watching)
        return;
    // Installed after every other filter of the application, so this one sees each event first.
    qApp->installEventFilter(this);
    m_watching = true;
}

void CEditHistory::Ignore(QWidget* widget) {
    m_ignored.emplace_back(widget);
}

CEditHistory::Chord CEditHistory::ChordOf(int key, Qt::KeyboardModifiers modifiers) {
    if (!(modifiers & Qt::ControlModifier) || (modifiers & Qt::AltModifier))
        return Chord::None;
    if (key == Qt::Key_Z)
        return (modifiers & Qt::ShiftModifier) ? Chord::Redo : Chord::Undo;
    if (key == Qt::Key_Y && !(modifiers & Qt::ShiftModifier))
        return Chord::Redo;
    return Chord::None;
}

bool CEditHistory::IsTextField(const QWidget* widget) {
    if (widget == nullptr)
        return false;
    if (qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
        qobject_cast<const QPlainTextEdit*>(widget))
        return true;
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(widget))
        return !spin->isReadOnly();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->isEditable();
    return false;
}

bool CEditHistory::IsEditorWindow(const QWidget* widget) const {
    if (widget == nullptr)
        return false;
    for (const QPointer<QWidget>& ignored : m_ignored) {
        if (ignored && (ignored == widget || ignored->isAncestorOf(widget)))
            return false;
    }
    return true;
}

JournalText CEditHistory::TextFor(const QWidget* widget) const {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        QString zh;
        QString en;
        if (HintPair(w, zh, en))
            return {zh.toStdString(), en.toStdString()};
        if (w->isWindow())
            break;
    }
    const QString title = widget ? widget->window()->windowTitle() : QString();
    return {title.toStdString(), title.toStdString()};
}

bool CEditHistory::eventFilter(QObject* watched, QEvent* event) {
    // An end that waited for a modal dialog's loop to finish goes as soon as the loop has.
    if (m_endRequested && !m_endQueued && LoopLevel() <= m_beginLoopLevel) {
        m_endQueued = true;
        QTimer::singleShot(0, this, &CEditHistory::TryEnd);
    }
    // Input reaches a window before its widgets: reacting there sees each event once.
    if (!watched->isWindowType())
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        QWidget* focus = QApplication::focusWidget();
        const Chord chord = ChordOf(key->key(), key->modifiers());
        if (chord != Chord::None && !IsTextField(focus)) {
            m_chordKey = key->key();
            if (chord == Chord::Undo)
                Undo();
            else
                Redo();
            return true;
        }
        if (focus && !IsEditorWindow(focus))
            break;
        if (key->key() == Qt::Key_Control || key->key() == Qt::Key_Shift || key->key() == Qt::Key_Alt ||
            key->key() == Qt::Key_Meta)
            break;
        const KeyName* name = IsTextField(focus) ? nullptr : NameOfKey(key->key());
        JournalText text = name ? JournalText{name->zh, name->en} : TextFor(focus);
        // A key that chooses in an open menu runs the command of the entry it is on.
        if (const auto* menu = qobject_cast<const QMenu*>(QApplication::activePopupWidget())) {
            if (std::optional<JournalText> entry = EntryName(menu->activeAction()))
                text = std::move(*entry);
        }
        Begin(KeyOf(name ? nullptr : focus, key->key()), std::move(text));
        break;
    }
    case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (m_chordKey != 0 && key->key() == m_chordKey) {
            // The chord's key-up is this object's too: Z lifted after Ctrl+Z must not mute.
            if (!key->isAutoRepeat())
                m_chordKey = 0;
            return true;
        }
        // The editor's own keys act at key-up: the action ends after them.
        if (m_journal.IsOpen())
            RequestEnd();
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        QWidget* target = WidgetAt(watched, mouse->position());
        if (!IsEditorWindow(target))
            break;
        // A press with no other button down while an action is still open at this level: the
        // release that should have ended it never came (a control hidden under the mouse).
        if (m_journal.IsOpen() && !m_endRequested && mouse->buttons() == mouse->button() &&
            LoopLevel() == m_beginLoopLevel) {
            m_endRequested = true;
            TryEnd();
        }
        JournalText text = TextFor(target);
        if (const auto* menu = qobject_cast<const QMenu*>(target)) {
            if (std::optional<JournalText> entry =
                    EntryName(menu->actionAt(menu->mapFromGlobal(mouse->globalPosition().toPoint()))))
                text = std::move(*entry);
        }
        Begin(0, std::move(text));
        break;
    }
    case QEvent::MouseButtonRelease:
        if (m_journal.IsOpen())
            RequestEnd();
        break;
    case QEvent::Wheel: {
        auto* wheel = static_cast<QWheelEvent*>(event);
        QWidget* target = WidgetAt(watched, wheel->position());
        if (!IsEditorWindow(target))
            break;
        Begin(KeyOf(target, 0), TextFor(target));
        RequestEnd();
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void CEditHistory::Begin(uint64_t key, JournalText text) {
    if (m_journal.IsOpen())
        return;
    m_journal.Begin(m_store, key, std::move(text), m_clock(), std::chrono::system_clock::now());
    m_beginLoopLevel = LoopLevel();
    m_endRequested = false;
}

void CEditHistory::RequestEnd() {
    m_endRequested = true;
    if (!m_endQueued) {
        m_endQueued = true;
        QTimer::singleShot(0, this, &CEditHistory::TryEnd);
    }
}

void CEditHistory::TryEnd() {
    m_endQueued = false;
    if (!m_endRequested || !m_journal.IsOpen()) {
        m_endRequested = false;
        return;
    }
    if (LoopLevel() > m_beginLoopLevel)
        return; // a modal dialog of the action is still open
    m_endRequested = false;
    if (EndJournalAction())
        emit Changed();
}

bool CEditHistory::EndJournalAction() {
    std::vector<Attached> attached = std::exchange(m_pendingAttached, {});
    if (!m_journal.End(m_store, m_clock()))
        return false;
    if (!attached.empty()) {
        std::vector<Attached>& own = m_attached[m_journal.Entries().back().serial];
        for (Attached& a : attached)
            own.push_back(std::move(a));
    }
    // What belonged to entries that are gone (dropped, trimmed) goes with them.
    std::erase_if(m_attached, [this](const auto& item) {
        const auto& entries = m_journal.Entries();
        return std::none_of(entries.begin(), entries.end(),
                            [&](const JournalEntry& e) { return e.serial == item.first; });
    });
    return true;
}

void CEditHistory::NameAction(const QString& zh, const QString& en) {
    m_journal.NameOpen({zh.toStdString(), en.toStdString()});
}

void CEditHistory::AttachToAction(std::function<void()> undo, std::function<void()> redo) {
    if (m_journal.IsOpen())
        m_pendingAttached.push_back({std::move(undo), std::move(redo)});
}

void CEditHistory::StepUndo() {
    const uint64_t serial = m_journal.NextUndo()->serial;
    if (m_restore)
        m_restore(m_journal.Undo());
    if (auto it = m_attached.find(serial); it != m_attached.end()) {
        for (auto a = it->second.rbegin(); a != it->second.rend(); ++a)
            if (a->undo)
                a->undo();
    }
}

void CEditHistory::StepRedo() {
    const uint64_t serial = m_journal.NextRedo()->serial;
    if (m_restore)
        m_restore(m_journal.Redo());
    if (auto it = m_attached.find(serial); it != m_attached.end()) {
        for (const Attached& a : it->second)
            if (a.redo)
                a.redo();
    }
}

void CEditHistory::BeginAction(uint64_t key, const char* zh, const char* en) {
    Begin(key, {zh, en});
}

void CEditHistory::EndAction() {
    if (!m_journal.IsOpen())
        return;
    m_endRequested = false;
    if (EndJournalAction())
        emit Changed();
}

void CEditHistory::Break(JournalText why) {
    m_endRequested = false;
    m_pendingAttached.clear();
    m_journal.Break(std::move(why), std::chrono::system_clock::now());
    emit Changed();
}

bool CEditHistory::Undo() {
    EndAction();
    if (!m_journal.CanUndo())
        return false;
    StepUndo();
    emit StoreRestored();
    emit Changed();
    return true;
}

bool CEditHistory::Redo() {
    EndAction();
    if (!m_journal.CanRedo())
        return false;
    StepRedo();
    emit StoreRestored();
    emit Changed();
    return true;
}

void CEditHistory::GoTo(std::size_t point) {
    EndAction();
    point = std::min(point, m_journal.Entries().size());
    bool moved = false;
    while (m_journal.Current() > point && m_journal.CanUndo()) {
        StepUndo();
        moved = true;
    }
    while (m_journal.Current() < point && m_journal.CanRedo()) {
        StepRedo();
        moved = true;
    }
    if (moved) {
        emit StoreRestored();
        emit Changed();
    }
}

QString CEditHistory::EntryText(const JournalEntry& entry) {
    return Tr2(entry.text.zh.c_str(), entry.text.en.c_str());
}

QString CEditHistory::UndoText() const {
    if (const JournalEntry* entry = m_journal.NextUndo())
        return Tr2("撤销：", "Undo: ") + EntryText(*entry);
    return Tr2("撤销", "Undo");
}

QString CEditHistory::RedoText() const {
    if (const JournalEntry* entry = m_journal.NextRedo())
        return Tr2("重做：", "Redo: ") + EntryText(*entry);
    return Tr2("重做", "Redo");
}

} // namespace orvex
