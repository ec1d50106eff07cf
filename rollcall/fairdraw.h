#pragma once

#include "store/value.h"

#include <QString>

#include <cstdint>
#include <set>
#include <vector>

namespace quorvel {

// One student of the class in roll call, at its place in the record set.
struct ClassMember {
    std::int64_t key = 0;
    store::Value storedName;  // as the file holds it
    QString name;             // as it reads on screen
};

// Which students of one class a draw may land on: never one marked absent,
// and, while the round is kept, only one not yet drawn in it. Positions are
// 1-based, as in the record set the class was read into.
class FairDraw {
public:
    // The marks of a class, by student key.
    struct Marks {
        std::set<std::int64_t> drawn;
        std::set<std::int64_t> absent;
        // Drawn in the round, then marked absent today: the turn was given back.
        std::set<std::int64_t> returned;
    };

    FairDraw() = default;
    FairDraw(std::vector<ClassMember> members, const Marks &marks);

    long size() const { return static_cast<long>(members_.size()); }
    const ClassMember &member(long position) const;
    bool isDrawn(long position) const { return marks_.drawn.count(member(position).key) != 0; }
    bool isAbsent(long position) const { return marks_.absent.count(member(position).key) != 0; }

    // Students not marked absent.
    long presentCount() const;
    // Students a draw may land on.
    long eligibleCount() const { return static_cast<long>(eligible_.size()); }

    // Whether draws keep to the round.
    bool keepsRound() const { return keepRound_; }
    void setKeepsRound(bool keep);
    // Whether anything restricts the draw; if not, it stays uniform over the class.
    bool restricted() const { return keepRound_ || !marks_.absent.empty(); }

    // The position a draw lands on for r in [0, 1), uniform over the students
    // it may land on. Without any, it falls back to the whole class.
    long pick(double r) const;

    void markDrawn(long position);
    void startRound();
    // Marks the student absent or takes the mark back. Drawn and then marked
    // absent, the student has not had the turn: it is given back; the mark
    // taken back, the turn counts again, as it was.
    void markAbsent(long position, bool absent);

    const Marks &marks() const { return marks_; }

private:
    void rebuild();

    std::vector<ClassMember> members_;
    Marks marks_;
    bool keepRound_ = false;
    std::vector<long> eligible_;
};

} // namespace quorvel
