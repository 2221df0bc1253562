#pragma once

#include "appearance/Appearance.h"
#include "client/RoomClient.h"
#include "host/RoomHost.h"
#include "net/Sockets.h"
#include "protocol/FileOffer.h"
#include "protocol/RoomState.h"
#include "protocol/RoomView.h"
#include "web/WebSeat.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class AboutPage;
class Attention;
class HostTooltips;
class ChatPage;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QStatusBar;
class QTabWidget;
class RoomAnnouncer;
class RoomFinder;
class SettingsPage;
class WebGateway;
class RoomRecord;
class HistoryFetch;
class TForm2;
class TransferList;
class HostFiles;
class ChatLog;
class PictureCache;

// The main window: owns the room state, both socket components, every control of
// the three pages and every whisper window.
class TForm1 : public QMainWindow, private RoomView {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    RoomState room;
    TServerSocket ser;
    TClientSocket client;
    RoomHost host;
    RoomClient roomClient;

    QTabWidget* page;
    SettingsPage* settings;
    ChatPage* chat;
    AboutPage* about;
    QStatusBar* ts;
    QLabel* tsText;
    QFrame* Panel1;
    QWidget* Panel6;
    QLabel* xiaonc;
    QLabel* xiaoname;
    QLabel* ipname;
    QListWidget* list2;
    QPushButton* Button1;
    Appearance* appearance;
    Attention* attention;
    // The room as a web page on its port + 1, while the host has it on.
    WebGateway* web;
    // The hosted room on the network, and the rooms a client finds there.
    RoomAnnouncer* announcer;
    RoomFinder* finder;
    // The hosted room's record of its public talk, while it keeps one.
    std::unique_ptr<RoomRecord> record;
    // A participant's copy: asking the host for its kept talk, once a session, and
    // where that session's lines begin in the log.
    QPointer<HistoryFetch> historyFetch;
    bool historyAsked = false;
    int sessionStartRow = 0;
    // Files on their way, made when the first one goes.
    TransferList* transfers = nullptr;

    // Sends files through the host to the addressee, or in that whisper window.
    void sendFiles(const QStringList& paths, TForm2* whisper);
    // The host's list of the room's files, and the status-bar button that opens it.
    QPushButton* hostFilesButton = nullptr;
    QPushButton* recordButton = nullptr;
    HostFiles* hostFiles = nullptr;
    // Where 接收 puts files: the user's download folder.
    QString downloadFolder;
    // Each offer seen, by its token: what its 接收 and 另存为 do.
    struct OfferActions {
        std::function<void()> receive;
        std::function<void()> saveAs;
    };
    QHash<QString, OfferActions> offers;
    // Pictures offered in the room, fetched and made small to show in the logs.
    PictureCache* pictures = nullptr;

    QString statusText() const;
    void setStatusText(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void buildAppearance();
    void wireShell();
    void wireSession();
    void wireChatPage();
    void FormCreate();
    void FormKeyPress();
    void FormCloseQuery(bool& canClose);
    void RadioButton1Click();
    void RadioButton2Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void list1Click();
    void pop2Popup();
    void S1Click();
    void Q1Click();
    void overgameClick();
    // Ends the hosted room with what came with it: its page, announcement and record.
    void endHosting();
    void wireWeb();
    void startWeb();
    void stopWeb();
    void wireDiscovery();
    void startAnnounce();
    // The room's kept talk: shown as earlier lines when hosting starts, kept as it goes.
    void wireRecord();
    void startRecord(const QByteArray& roomName);
    void stopRecord();
    // The last of the kept talk a newcomer is shown; nothing while the room keeps none.
    std::optional<QList<WebSeat::Said>> keptForNewcomers() const;
    void fetchHistory();
    void dropHistoryFetch();
    void wireFiles();
    void enableWhisperDrop(TForm2* window);
    // A picture pasted in an input line, sent as a PNG file named after the moment.
    void sendPasted(const QByteArray& png, TForm2* whisper);
    // What every log (the room's, each whisper window's) does with offers and pictures.
    void wireLog(ChatLog* log);
    void openPicture(const QByteArray& line);

    void sayOffer(const QByteArray& addressee, const QString& text);
    void sayOfferInWhisper(TForm2* window, const QString& text);
    void offerSeen(const QByteArray& line);
    // Makes an offer's entry in the transfer window once; false when it cannot be fetched.
    bool addOffer(const fileoffer::Offer& offer);
    // 接收 or 另存为 on an offer's entry in a log.
    void offerChosen(const QByteArray& line, bool saveAs);
    bool webSurface(QString* address, quint16* webPort);

    // RoomView
    void setStatus(const QString& text) override;
    void showNotice(const QString& text) override;
    bool confirm(const QString& text) override;
    std::optional<QString> askText(const QString& caption, const QString& prompt) override;
    void focusField(Field field) override;
    void enterSession(bool asHost, const QByteArray& nickname, const QByteArray& roomName) override;
    void leaveSession(bool toSettingsPage) override;
    void appendLog(const QByteArray& line) override;
    void setUserList(const QList<QByteArray>& nicknames) override;
    std::optional<QByteArray> selectedUser() const override;
    void removeSelectedUser() override;
    void setOnlineCount(int count) override;
    void reportErrorLater(const QString& text) override;
    WhisperPeer* createWhisper(int slot) override;
    void setWhisperCaption(WhisperPeer* window, const QByteArray& peerName) override;
    void setWhisperPeer(WhisperPeer* window, const QByteArray& seatField) override;
    void appendWhisper(WhisperPeer* window, const QByteArray& line) override;
    void showWhisper(WhisperPeer* window) override;
    void focusWhisperInput(WhisperPeer* window) override;
    void pause(int milliseconds) override;

    HostTooltips* hostTips = nullptr; // owned by the user list
};
