#pragma once
#include "testsupport.h"
#include <memory>
#include <vector>

class AccountBase;
class MeetingModel;

namespace fuzz {

// One meeting model with a running engine and checked lists for the whole fuzzing process:
// a model and an engine thread per input would hold a run to a few hundred inputs a second.
// Every input's end state is checked; every 32nd input is also checked after each step and
// watched by the model tester.
class RoomFixture
{
public:
    static constexpr qint64 kSelf = 100;

    explicit RoomFixture(AccountBase *account);
    ~RoomFixture();
    MeetingModel *model() const { return m_model.get(); }
    // Back to a running engine and the own row only, whatever the last input left behind.
    void reset();
    // Fails the run when the lists disagree: after every step of a thorough input, or with
    // `last` set, after the last step of any input.
    void check(const char *step, bool last = false) const;

private:
    void startEngine();

    std::unique_ptr<MeetingModel> m_model;
    testsupport::ListInvariants m_invariants;
    std::vector<std::unique_ptr<testsupport::ModelChecker>> m_checkers;
    int m_inputs = 0;
    bool m_thorough = false;
};

// The process's fixture, built on first use.
RoomFixture &room();

} // namespace fuzz
