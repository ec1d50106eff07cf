#include "rollcall/fairdraw.h"

#include <algorithm>
#include <stdexcept>

namespace quorvel {

FairDraw::FairDraw(std::vector<ClassMember> members, const std::set<std::int64_t> &drawn,
                   const std::set<std::int64_t> &absent)
    : members_(std::move(members))
{
    // Keep only marks that belong to this class.
    for (const ClassMember &m : members_) {
        if (drawn.count(m.key))
            drawn_.insert(m.key);
        if (absent.count(m.key))
            absent_.insert(m.key);
    }
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
    return size() - static_cast<long>(absent_.size());
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
    drawn_.insert(member(position).key);
    rebuild();
}

void FairDraw::unmarkDrawn(long position)
{
    drawn_.erase(member(position).key);
    rebuild();
}

void FairDraw::startRound()
{
    drawn_.clear();
    rebuild();
}

void FairDraw::markAbsent(long position, bool absent)
{
    if (absent)
        absent_.insert(member(position).key);
    else
        absent_.erase(member(position).key);
    rebuild();
}

void FairDraw::rebuild()
{
    eligible_.clear();
    for (long p = 1; p <= size(); ++p) {
        const std::int64_t key = members_[static_cast<std::size_t>(p - 1)].key;
        if (absent_.count(key) || (keepRound_ && drawn_.count(key)))
            continue;
        eligible_.push_back(p);
    }
}

} // namespace quorvel
