<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name></name>
    <message id="ab_meeting_invite_ok">
        <source>Invitation sent.</source>
        <translation>Invitation sent.</translation>
    </message>
    <message id="ab_meeting_invite_fail">
        <source>The invitation could not be sent.</source>
        <translation>The invitation could not be sent.</translation>
    </message>
    <message id="create_meeting_link_exceed">
        <source>You already have as many meeting links as allowed.</source>
        <translation>You already have as many meeting links as you can. Delete one to create another.</translation>
    </message>
    <message id="update_meeting_link_failed">
        <source>Meeting link %1 could not be renamed.</source>
        <translation>The meeting link %1 could not be renamed.</translation>
    </message>
    <message id="create_meeting_link_failed">
        <source>The meeting link could not be created.</source>
        <translation>The meeting link could not be created.</translation>
    </message>
    <message id="general_loading_failed">
        <source>Loading failed.</source>
        <translation>Loading failed. Please try again.</translation>
    </message>
    <message id="delete_meeting_link_failed">
        <source>Meeting link %1 could not be deleted.</source>
        <translation>The meeting link %1 could not be deleted.</translation>
    </message>
    <message id="no_active_meeting">
        <source>No meeting is running on this link.</source>
        <translation>No meeting is running on this link right now.</translation>
    </message>
    <message id="get_meeting_link_failed">
        <source>Meeting link %1 could not be opened.</source>
        <translation>The meeting link %1 could not be opened.</translation>
    </message>
    <message id="general_fail">
        <source>Something went wrong.</source>
        <translation>Something went wrong. Please try again.</translation>
    </message>
    <message id="join_meeting_by_link_failed">
        <source>Could not ask to join through link %1.</source>
        <translation>Your request to join through the link %1 could not be sent.</translation>
    </message>
    <message id="operation_failed">
        <source>The operation failed.</source>
        <translation>The operation failed.</translation>
    </message>
    <message id="Meeting_ join">
        <source>You are already joining a meeting.</source>
        <translation>You are already joining a meeting. Finish or cancel that first.</translation>
    </message>
    <message id="meeting_call_removed">
        <source>You were removed from the call.</source>
        <translation>You were removed from the call.</translation>
    </message>
    <message id="meeting_call_exist">
        <source>You took this call on another device.</source>
        <translation>You took this call on another device.</translation>
    </message>
    <message id="meeting_mute_fail">
        <source>Muting did not work.</source>
        <translation>The microphone or camera could not be switched.</translation>
    </message>
    <message id="meeting_kick_fail">
        <source>The attendee could not be removed.</source>
        <translation>The attendee could not be removed.</translation>
    </message>
    <message id="meeting_token_expired">
        <source>The meeting pass has expired; getting a new one.</source>
        <translation>Your pass to the meeting has expired. Getting a new one...</translation>
    </message>
    <message id="meeting_transfer_fail">
        <source>The host role could not be handed over.</source>
        <translation>The host role could not be handed over.</translation>
    </message>
    <message id="meeting_share_failed">
        <source>Sharing could not start.</source>
        <translation>Sharing could not start.</translation>
    </message>
    <message id="meeting_share_permission_failed">
        <source>Only the host may share now.</source>
        <translation>Only the host may share in this meeting.</translation>
    </message>
    <message id="meeting_permission_denied">
        <source>Only the host can do that.</source>
        <translation>Only the host can do that.</translation>
    </message>
    <message id="meeting_connection_fail">
        <source>The connection to the meeting failed.</source>
        <translation>The connection to the meeting failed.</translation>
    </message>
</context>
</TS>
