#pragma once

#include <QString>

class CQuorelDoc;
struct FtpContext;

// "FTP에서 불러오기" (32772): the FTP browser in open mode; the file it
// downloads opens in an editor window.
void OnFtpOpen(FtpContext &context);

// For the conversion wizard's "FTP 불러오기": runs the FTP browser in open
// mode and returns the local path of the file it downloaded (the browser has
// also opened it in an editor window), or an empty string when the user
// closed the browser without a download or the download failed.
QString downloadFileFromFtp(FtpContext &context);

// "FTP로 저장하기" (32771) on a document: the browser in save mode with the
// document's file name, then the document's content uploaded where the user
// chose. An untitled document goes up through a temporary copy, removed
// afterwards; its modified flag stays as it was, since no file of the
// user's holds its text.
void OnFtpSave(CQuorelDoc &doc, FtpContext &context);

// After a save (Ctrl+S) of a document downloaded from a server: asks
// "서버 X의 /zones/a.zone에도 올리시겠습니까?" (yes, no, or always for this
// document) and uploads the saved file there. True when it went up.
bool OnSaveBackToServer(CQuorelDoc &doc, FtpContext &context);
