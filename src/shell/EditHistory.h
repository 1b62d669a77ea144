#pragma once

#include "model/EditJournal.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

class QWidget;

namespace orvex {

class ParameterStore;

// Undo and redo for the editor. It watches what the user does in the editor's windows, keeps each
// press-to-release, each burst of keys or wheel steps on one control as one action of the journal,
// and takes actions back through the setters a hand edit uses (the restore function it is given).
//
// Ctrl+Z undoes, Ctrl+Shift+Z and Ctrl+Y redo while one of the editor's windows is active and no text
// field has the focus; the keys are taken before any other handler sees them, so Z with Ctrl held never
// mutes the music.
//
// Window thread only.
class CEditHistory : public QObject {
    Q_OBJECT
public:
    using Restore = std::function<void(const std::vector<StoreUnitValue>&)>;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    CEditHistory(ParameterStore& store, Restore restore, QObject* parent = nullptr);
    ~CEditHistory() override;

    const EditJournal& Journal() const { return m_journal; }

    // Starts watching the application's input.
    void Watch();
    // A window whose presses are not edits (the history window itself).
    void Ignore(QWidget* window);
    // The clock bursts are timed by; the steady clock unless a test sets another.
    void SetClock(Clock clock) { m_clock = std::move(clock); }

    bool CanUndo() const { return m_journal.CanUndo(); }
    bool CanRedo() const { return m_journal.CanRedo(); }
    bool Undo();
    bool Redo();
    // Undoes or redoes until `point` entries are done.
    void GoTo(std::size_t point);

    // An action the code marks itself, around edits no press or key brackets (a command from another
    // window, a timer). Nested calls join the action already open.
    void BeginAction(uint64_t key, const char* zh, const char* en);
    void EndAction();

    // Names the open action (a command knows what it did better than the control's hint says).
    void NameAction(const QString& zh, const QString& en);
    // State outside the store that the open action changed too (a channel pair's link, kept on this
    // computer): `undo` puts it back after the action's units are restored, `redo` sets it again. Tied
    // to the entry the action becomes; dropped when the action changes nothing in the store.
    void AttachToAction(std::function<void()> undo, std::function<void()> redo);

    // The processor holds what it holds from here (a mode loaded or saved, a preset file loaded, a
    // read-all, a change it reported): nothing before can be undone.
    void Break(JournalText why);

    // "Undo: CH3 EQ band 4" / "撤销：通道3 均衡 第4段"; the plain word when there is nothing to undo.
    QString UndoText() const;
    QString RedoText() const;
    // An entry's description in the current language.
    static QString EntryText(const JournalEntry& entry);

signals:
    // The entries or the current point changed: buttons and the history window follow.
    void Changed();
    // Undo or redo changed the store: pages and tool windows draw it again.
    void StoreRestored();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Chord { None, Undo, Redo };
    static Chord ChordOf(int key, Qt::KeyboardModifiers modifiers);
    static bool IsTextField(const QWidget* widget);
    bool IsEditorWindow(const QWidget* widget) const;
    JournalText TextFor(const QWidget* widget) const;

    void Begin(uint64_t key, JournalText text);
    // Ends the open action once the event loop is back at the level it began at: a press whose
    // handler runs a modal dialog ends when the dialog and the handler have.
    void RequestEnd();
    void TryEnd();
    // Ends the open action; true when it was kept. What was attached to it goes with its entry.
    bool EndJournalAction();
    // Steps back (forward) over one entry, restoring its units and its attached state.
    void StepUndo();
    void StepRedo();

    struct Attached {
        std::function<void()> undo;
        std::function<void()> redo;
    };

    ParameterStore& m_store;
    Restore m_restore;
    Clock m_clock;
    EditJournal m_journal;
    std::vector<QPointer<QWidget>> m_ignored;
    std::vector<Attached> m_pendingAttached;              // of the open action
    std::map<uint64_t, std::vector<Attached>> m_attached; // by entry serial
    bool m_watching = false;
    bool m_endRequested = false;
    bool m_endQueued = false;
    int m_beginLoopLevel = 0;
    int m_chordKey = 0; // the key of an undo or redo chord whose release is eaten too
};

} // namespace orvex
