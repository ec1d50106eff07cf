#pragma once

#include <QString>

#include <cstdint>
#include <set>
#include <vector>

namespace quorvel {

// One student of the class in roll call, at its place in the record set.
struct ClassMember {
    std::int64_t key = 0;
    QString name;
};

// Which students of one class a draw may land on: never one marked absent,
// and, while the round is kept, only one not yet drawn in it. Positions are
// 1-based, as in the record set the class was read into.
class FairDraw {
public:
    FairDraw() = default;
    FairDraw(std::vector<ClassMember> members, const std::set<std::int64_t> &drawn,
             const std::set<std::int64_t> &absent);

    long size() const { return static_cast<long>(members_.size()); }
    const ClassMember &member(long position) const;
    bool isDrawn(long position) const { return drawn_.count(member(position).key) != 0; }
    bool isAbsent(long position) const { return absent_.count(member(position).key) != 0; }

    // Students not marked absent.
    long presentCount() const;
    // Students a draw may land on.
    long eligibleCount() const { return static_cast<long>(eligible_.size()); }

    // Whether draws keep to the round.
    bool keepsRound() const { return keepRound_; }
    void setKeepsRound(bool keep);
    // Whether anything restricts the draw; if not, it stays uniform over the class.
    bool restricted() const { return keepRound_ || !absent_.empty(); }

    // The position a draw lands on for r in [0, 1), uniform over the students
    // it may land on. Without any, it falls back to the whole class.
    long pick(double r) const;

    void markDrawn(long position);
    void unmarkDrawn(long position);
    void startRound();
    void markAbsent(long position, bool absent);

    const std::set<std::int64_t> &drawnKeys() const { return drawn_; }
    const std::set<std::int64_t> &absentKeys() const { return absent_; }

private:
    void rebuild();

    std::vector<ClassMember> members_;
    std::set<std::int64_t> drawn_, absent_;
    bool keepRound_ = false;
    std::vector<long> eligible_;
};

} // namespace quorvel
