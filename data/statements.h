// Every SQL text the program issues, in one place and exactly as the program has always sent it
// (doubled blanks included). "?" parameters are bound in the order noted; the formatted ones
// have no parameters and are built with the Format functions below.
#pragma once

#include <string>
#include <string_view>

namespace kivo::data::sql {

// ---- catalogue ----
// GAMETYPE int. Columns: ID, GAMENAME, GAMEHINT, GAMETYPE (and any further column).
inline constexpr const char* kSelectGames =
    "Select * From MAIN.[t_gamelist] WHERE GAMETYPE=?  ORDER BY GAMENAME Limit 1000";
// game ID text. Columns: ID, GAMEID, URLNAME, URLHINT, URLVALUE.
inline constexpr const char* kSelectGameUrls =
    "Select * From MAIN.[t_gameurllist] WHERE GAMEID=? ORDER BY URLNAME Limit 1000";
// category int. Columns: GAMENAME, ID.
inline constexpr const char* kSelectGameNames =
    "Select GAMENAME,ID From t_gamelist where gametype=?";
// name text, hint text (empty), category int, new ID text.
inline constexpr const char* kInsertGame =
    "insert into MAIN.[t_gamelist] (GAMENAME,GAMEHINT,GAMETYPE,ID) values (?,?,?,?);";
// game ID text, description text, hint text (empty), address text, new ID text.
inline constexpr const char* kInsertGameUrl =
    "insert into MAIN.[t_gameurllist] (GAMEID,URLNAME,URLHINT,URLVALUE,ID) VALUES (?,?,?,?,?);";
// address ID text. Columns: URLVALUE.
inline constexpr const char* kSelectGameUrlValue =
    "Select URLVALUE From MAIN.[t_gameurllist] WHERE ID=?";
// address text, description text, address ID text.
inline constexpr const char* kUpdateGameUrl =
    "update t_gameurllist set urlvalue=?,urlname=? where id=?";
// name text, game ID text.
inline constexpr const char* kRenameGame = "update t_gamelist set gamename=? where id=?";
// address ID text.
inline constexpr const char* kDeleteGameUrl = "delete from  t_gameurllist where id=?";
// address ID text.
inline constexpr const char* kDeleteUsersOfUrl = "delete from t_usermanage where urlid=?";
// game ID text.
inline constexpr const char* kDeleteUrlsOfGame = "delete from  t_gameurllist where gameid=?";
// game ID text.
inline constexpr const char* kDeleteGame = "delete From t_gamelist where id=?";

// ---- history ----
// address ID text.
inline constexpr const char* kDeleteHistoryOfUrl = "delete from t_history where gameurlid=?;";
// label text, address ID text, day number int, new ID text.
inline constexpr const char* kInsertHistory =
    "insert into t_history (value,gameurlid,opentime,ID) values (?,?,?,?);";
// Formatted: today, then 0, 1 or 2. Columns: ID, GAMEID, VALUE, URLHINT, URLVALUE.
inline constexpr const char* kSelectHistoryOfDay =
    "Select ID,GAMEID,VALUE,URLHINT,URLVALUE From v_history where (%D-opentime)=%D";
// Formatted: today, today. Columns as above.
inline constexpr const char* kSelectHistoryOfWeek =
    "Select ID,GAMEID,VALUE,URLHINT,URLVALUE From v_history where ((%D-opentime)<=7) and "
    "((%D-opentime)>=3)";
inline constexpr const char* kClearHistory = "delete from t_history;";

// ---- accounts ----
// address ID text. Columns: ID, URLID, USERNAME, CACHEPATH, PASSWORD.
inline constexpr const char* kSelectUsers =
    "Select ID,URLID,USERNAME,CACHEPATH,PASSWORD From MAIN.[t_usermanage] Where URLID=? Limit 1000";
// No parameters. Columns: CACHEPATH of every account (the exit clean-up keeps those folders).
inline constexpr const char* kSelectAccountFolders = "Select CACHEPATH From MAIN.[t_usermanage]";
// address ID text, name text, folder text, password text (empty), new ID text.
inline constexpr const char* kInsertUser =
    "insert into MAIN.[t_usermanage] (URLID,USERNAME,CACHEPATH,PASSWORD,ID) VALUES (?,?,?,?,?);";
// account ID text, field name text, enciphered value text, new ID text.
inline constexpr const char* kInsertUserInfo =
    "insert into MAIN.[t_userinfotable] (GAMEURLID,ELENAME,ELEVALUE,ID) VALUES (?,?,?,?);";
// Formatted: account ID. Run with Execute.
inline constexpr const char* kDeleteUserInfo = "delete from t_userinfotable where gameurlid='%S';";
// Formatted: account ID. Run with Execute.
inline constexpr const char* kDeleteUser = "delete from t_usermanage where id='%S';";
// account ID text. Columns: ELENAME, ELEVALUE.
inline constexpr const char* kSelectUserInfo =
    "Select ELENAME,ELEVALUE From t_userinfotable where gameurlid=?;";

// ---- settings ----
// Stepped once; column 0 reads empty when the row is missing.
inline constexpr const char* kSelectCloseType =
    "Select BASEVALUE From t_base where basename='CLOSETYPE'";
// value text16 ("0" or "1").
inline constexpr const char* kUpdateCloseType =
    "update t_base set BASEVALUE=? where basename='CLOSETYPE'";

// ---- formatted statements ----
std::string FormatSelectHistoryOfDay(int today, int days_ago);
std::string FormatSelectHistoryOfWeek(int today);
// The account ID must be a GUID in registry form; anything else throws std::invalid_argument,
// so no other text can ever reach the SQL.
std::string FormatDeleteUserInfo(std::string_view account_id);
std::string FormatDeleteUser(std::string_view account_id);

}  // namespace kivo::data::sql
