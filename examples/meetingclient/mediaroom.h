#pragma once
#include <QtGlobal>

class AccountBase;

// Plays the media server's part for the example, through the reference engine: the server's
// answer to the join request, and the engine's reports once a call starts (the room, who is
// speaking) or ends. A client with a real server and engine has none of this.
class MediaRoom
{
public:
    explicit MediaRoom(AccountBase *account);
    ~MediaRoom();
    MediaRoom(const MediaRoom &) = delete;
    MediaRoom &operator=(const MediaRoom &) = delete;

    // How many calls the engine was asked to start.
    static int callsStarted();

private:
    AccountBase *m_account;
};
