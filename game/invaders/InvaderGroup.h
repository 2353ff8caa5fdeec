#pragma once
#include <memory>
#include <vector>

class Kestrane;

// A leader and up to five members that walk toward its tile. The invaders are not owned:
// they unlink themselves when destroyed.
class InvaderGroup
{
public:
    static constexpr size_t kMaxMembers = 5;

    explicit InvaderGroup(Kestrane* leader) : mLeader(leader) {}

    Kestrane* GetLeader() const { return mLeader; }
    const std::vector<Kestrane*>& GetMembers() const { return mMembers; }
    void AddMember(Kestrane* invader);
    void RemoveMember(Kestrane* invader);
    void Scatter();
    void Disband();
    void Clear();
    void Step();

private:
    Kestrane* mLeader;
    std::vector<Kestrane*> mMembers;
};

// The logic loom's groups; destroying it clears every group so no invader points at freed memory.
class InvaderGroupList
{
public:
    InvaderGroupList() = default;
    ~InvaderGroupList();
    InvaderGroupList(const InvaderGroupList&) = delete;
    InvaderGroupList& operator=(const InvaderGroupList&) = delete;

    InvaderGroup* CreateGroup(Kestrane* leader);
    void RemoveGroupOf(Kestrane* invader);
    void Update();
    size_t Size() const { return mGroups.size(); }

private:
    std::vector<std::unique_ptr<InvaderGroup>> mGroups;
};

// The logic loom's list, or null.
InvaderGroupList* CurrentGroupList();
