#include "rollcall/fairdraw.h"

#include <algorithm>
#include <stdexcept>

namespace quorvel {

FairDraw::FairDraw(std::vector<ClassMember> members, const Marks &marks)
    : members_(std::move(members))
{
    // Keep only marks that belong to this class.
    for (const ClassMember &m : members_)
        for (auto [from, to] : {std::pair{&marks.drawn, &marks_.drawn},
                                std::pair{&marks.absent, &marks_.absent},
                                std::pair{&marks.returned, &marks_.returned}})
            if (from->count(m.key))
                to->insert(m.key);
    rebuild();
}

const ClassMember &FairDraw::member(long position) const
{
    if (position < 1 || position > size())
        throw std::out_of_range("position outside the class");
    return members_[static_cast<std::size_t>(position - 1)];
}

long FairDraw::presentCount() const
{
    return size() - static_cast<long>(marks_.absent.size());
}

void FairDraw::setKeepsRound(bool keep)
{
    keepRound_ = keep;
    rebuild();
}

long FairDraw::pick(double r) const
{
    const auto n = static_cast<long>(eligible_.size());
    if (n == 0)
        return std::clamp(static_cast<long>(r * static_cast<double>(size())) + 1, 1L, size());
    const long i = std::min(static_cast<long>(r * static_cast<double>(n)), n - 1);
    return eligible_[static_cast<std::size_t>(std::max(i, 0L))];
}

void FairDraw::markDrawn(long position)
{
    marks_.drawn.insert(member(position).key);
    rebuild();
}

void FairDraw::startRound()
{
    marks_.drawn.clear();
    marks_.returned.clear();
    rebuild();
}

void FairDraw::markAbsent(long position, bool absent)
{
    const std::int64_t key = member(position).key;
    if (absent) {
        marks_.absent.insert(key);
        if (marks_.drawn.erase(key))
            marks_.returned.insert(key);
    } else {
        marks_.absent.erase(key);
        if (marks_.returned.erase(key))
            marks_.drawn.insert(key);
    }
    rebuild();
}

void FairDraw::rebuild()
{
    eligible_.clear();
    for (long p = 1; p <= size(); ++p) {
        const std::int64_t key = members_[static_cast<std::size_t>(p - 1)].key;
        if (marks_.absent.count(key) || (keepRound_ && marks_.drawn.count(key)))
            continue;
        eligible_.push_back(p);
    }
}

} // namespace quorvel
