#include "db/query_shape.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rnt/error.h"

namespace rnt::db {
namespace {

const char kPreviousRentVoucher[] =
    "select  *  from  (select top 1  date,vchcode,(select of1 from vchotherinfo where "
    "vchcode=tran1.vchcode and of2='Rental'  )as j  from Tran1 where vchtype=9 and mastercode1=12  "
    "and Date<=#05-Apr-2021#  Order  By date desc) as rpt   Order By date,j desc";

std::string DayTotalQuery(const std::string& date, const std::string& party,
                          const std::string& item) {
  return "select  top 1     MasterCode1,MasterCode2,  (Select  sum(tt3.value1) as i from Tran3 as  "
         "tt3 where   tt3.date=tr3.date     and tt3.masterCode2=tr3.masterCode2  and "
         "tt3.masterCode1=tr3.masterCode1 and TranType in(5,3,0) and vchtype =4) as a1 ,(Select "
         "sum(t3.value1) as z from Tran3  as  t3 where t3.date=tr3.date  and "
         "t3.masterCode2=tr3.masterCode2  and t3.masterCode1=tr3.masterCode1    and ( (  vchtype "
         "=11  and TranType in(5,3,0) ) or ( vchtype=9 and vchcode=-1400 and TranType =0))   ) as "
         "a2 from tran3 as tr3  where date=#" +
         date + "#  and masterCode2=" + party + "  and  MasterCode1=" + item;
}

std::string LostOrDamageQuery(const std::string& markers) {
  return "select itd.vchcode,itd.desc1,itd.desc2 as dsc2,value1,value2,MasterCode1,Cm1 from   "
         "itemdesc as  itd,Tran2 as t2 where itd.Desc1 in (" +
         markers +
         ")   and itd.vchcode=t2.vchcode  and t2.masterCode1=7 and t2.cm1=12  and "
         "t2.Date=#05-Apr-2021#   and itd.srno=t2.srno";
}

// Runs `call` and returns the message of the rnt::Error it throws.
template <typename Call>
std::string ErrorOf(Call call) {
  try {
    call();
  } catch (const Error& error) {
    return error.what();
  }
  ADD_FAILURE() << "no rnt::Error thrown";
  return "";
}

std::string Sqlite(std::string_view host_sql) {
  return TranslateShape(ShapeQuery(host_sql), Dialect::kSqlite);
}
std::string Postgres(std::string_view host_sql) {
  return TranslateShape(ShapeQuery(host_sql), Dialect::kPostgres);
}

TEST(ShapeQueryTest, PreviousRentVoucherQueryKeepsTopCountAndTakesOutValues) {
  const QueryShape shape = ShapeQuery(kPreviousRentVoucher);
  EXPECT_EQ(shape.key,
            "select * from ( select top 1 date , vchcode , ( select of1 from vchotherinfo where "
            "vchcode = tran1 . vchcode and of2 = ? ) as j from Tran1 where vchtype = ? and "
            "mastercode1 = ? and Date <= ? Order By date desc ) as rpt Order By date , j desc");
  const std::vector<Variant> expected = {Variant("Rental"), Variant(int32_t{9}),
                                         Variant(int32_t{12}), Variant(Date::FromYmd(2021, 4, 5))};
  EXPECT_EQ(shape.params, expected);
}

TEST(ShapeQueryTest, QueriesThatDifferOnlyInValuesShareOneKey) {
  const QueryShape short_date = ShapeQuery(DayTotalQuery("05-04-2021", "12", "7"));
  const QueryShape named_month = ShapeQuery(DayTotalQuery("31-Mar-2022", "140", "3"));
  EXPECT_EQ(short_date.key, named_month.key);
  ASSERT_EQ(short_date.params.size(), 14u);
  EXPECT_EQ(short_date.params[9], Variant(int32_t{1400}));  // the minus stays in the key
  EXPECT_NE(short_date.key.find("vchcode = - ? and"), std::string::npos);
  EXPECT_EQ(short_date.params[11], Variant(Date::FromYmd(2021, 4, 5)));
  EXPECT_EQ(named_month.params[11], Variant(Date::FromYmd(2022, 3, 31)));

  EXPECT_EQ(ShapeQuery(LostOrDamageQuery("'Lost','L'")).key,
            ShapeQuery(LostOrDamageQuery("'Damage','D'")).key);

  std::string top_two = DayTotalQuery("05-04-2021", "12", "7");
  top_two.replace(top_two.find("top 1"), 5, "top 2");
  EXPECT_NE(ShapeQuery(top_two).key, short_date.key);
  EXPECT_NE(ShapeQuery(LostOrDamageQuery("'Lost'")).key,
            ShapeQuery(LostOrDamageQuery("'Lost','L'")).key);
}

TEST(ShapeQueryTest, LiteralsBecomeTypedValues) {
  const QueryShape shape =
      ShapeQuery("select a from t where a=2147483647 or a=2147483648 or a=2.5 or a=1e3");
  const std::vector<Variant> expected = {Variant(int32_t{2147483647}), Variant(2147483648.0),
                                         Variant(2.5), Variant(1000.0)};
  EXPECT_EQ(shape.params, expected);

  const QueryShape challan = ShapeQuery(
      "select  top 1     MasterCode1,MasterCode2,  (Select  sum(tt3.value1) as i from Tran3 as  "
      "tt3 where   tt3.date=tr3.date and tt3.[No]='C''1'      and tt3.masterCode2=tr3.masterCode2  "
      "and tt3.masterCode1=tr3.masterCode1 and TranType in(5,3,0) and vchtype =4) as a1 ,(Select "
      "sum(t3.value1) as z from Tran3  as  t3 where t3.date=tr3.date  and "
      "t3.masterCode2=tr3.masterCode2 and t3.[No]='C''1'    and t3.masterCode1=tr3.masterCode1    "
      "and ( (  vchtype =11  and TranType in(5,3,0) ) or ( vchtype=9 and vchcode=-1400 and "
      "TranType =0))   ) as a2 from tran3 as tr3  where date=#05-04-2021#  and masterCode2=12  "
      "and  MasterCode1=7");
  ASSERT_EQ(challan.params.size(), 16u);
  EXPECT_NE(challan.key.find("where tt3 . date = tr3 . date and tt3 . [No] = ? and"),
            std::string::npos);
  EXPECT_EQ(challan.params[0], Variant("C'1"));
  EXPECT_EQ(challan.params[5], Variant("C'1"));

  const QueryShape untouched =
      ShapeQuery("select a from t where b='top 5 #x# [y] ''z''' and c=\"q\"\"r\"");
  EXPECT_EQ(untouched.key, "select a from t where b = ? and c = ?");
  EXPECT_EQ(untouched.params[0], Variant("top 5 #x# [y] 'z'"));
  EXPECT_EQ(untouched.params[1], Variant("q\"r"));
}

TEST(ShapeQueryTest, VoucherItemAndUnlistedItemQueriesKeepTheirValuesInOrder) {
  const QueryShape items = ShapeQuery(
      "select    *,(Select desc6 from ItemDesc where VchCode=rpt.vchcode and srno=rpt.s)as cls   "
      "from    (select MasterCode1,max(itd.srno)as s,itd.Vchcode,VchNo,Date from itemdesc as itd, "
      "Tran2 as t2 where itd.vchcode=501 and t2.vchcode=itd.vchcode and itd.srno=t2.srno and "
      "t2.rectype in (7,2) Group by mastercode1,itd.VchCode,VchNo,Date) as Rpt");
  EXPECT_EQ(items.params, (std::vector<Variant>{Variant(int32_t{501}), Variant(int32_t{7}),
                                                Variant(int32_t{2})}));

  const QueryShape unlisted = ShapeQuery(
      "select distinct   Date,MasterCode1,[No] as RNo  from tran3 where RecType=3 and TranType "
      "in(5,3,0) and MasterCode2=12  and Date>#01-Apr-2020# and Date<=#31-Mar-2021#  and "
      "MasterCode1 not  in (select    MasterCode1  from tran2 where VchCode=501 and RecType in "
      "(7,2))     and       ((VchType  in(4,11)   )  or (VchType=9 and VchCode=-1400)  )     Order "
      "By MasterCode1,Date");
  ASSERT_EQ(unlisted.params.size(), 14u);
  EXPECT_EQ(unlisted.params[5], Variant(Date::FromYmd(2020, 4, 1)));
  EXPECT_EQ(unlisted.params[7], Variant(int32_t{501}));
  EXPECT_EQ(unlisted.params[13], Variant(int32_t{1400}));
  const std::string sql = TranslateShape(unlisted, Dialect::kSqlite);
  EXPECT_NE(sql.find("MasterCode1 not in (select MasterCode1 from tran2 where VchCode = ?8 and "
                     "RecType in (?9, ?10))"),
            std::string::npos);
  EXPECT_TRUE(sql.ends_with("VchCode = - ?14)) order by MasterCode1, Date"));
}

TEST(ShapeQueryTest, BadLiteralsFailNamingThePiece) {
  const std::pair<const char*, const char*> cases[] = {
      {"select a from t where d=##", "##"},
      {"select a from t where d=#31-02-2021#", "#31-02-2021#"},
      {"select a from t where d=#soon#", "#soon#"},
      {"select a from t where d=#05-04-2021", "#05-04-2021"},
      {"select a from t where b='open", "'open"},
      {"select [No from t", "[No"},
      {"select a from t where b!=1", "'!'"}};
  for (const auto& [query, piece] : cases) {
    EXPECT_NE(ErrorOf([&] { ShapeQuery(query); }).find(piece), std::string::npos) << query;
  }
}

TEST(TranslateShapeTest, TopWithoutOrderLimitsItsOwnSelect) {
  EXPECT_EQ(Sqlite("select x from (select top 3 a from t where b=1) as s"),
            "select x from (select a from t where b = ?1 limit 3) as s");
  EXPECT_EQ(Postgres("select distinct top 3 a from t where b=1"),
            "select distinct a from t where b = $1::integer limit 3");
  EXPECT_TRUE(
      Sqlite(DayTotalQuery("05-04-2021", "12", "7")).ends_with("MasterCode1 = ?14 limit 1"));
}

TEST(TranslateShapeTest, TopWithOrderKeepsRowsTiedWithTheLast) {
  EXPECT_EQ(Sqlite(kPreviousRentVoucher),
            "select * from (select * from (select date, vchcode, (select of1 from vchotherinfo "
            "where vchcode = tran1.vchcode and of2 = ?1) as j, rank() over (order by date desc) as "
            "rnt_helper_rank from Tran1 where vchtype = ?2 and mastercode1 = ?3 and Date <= ?4) "
            "where rnt_helper_rank <= 1 order by rnt_helper_rank) as rpt order by date, j desc");
  EXPECT_EQ(Postgres(kPreviousRentVoucher),
            "select * from (select date, vchcode, (select of1 from vchotherinfo where vchcode = "
            "tran1.vchcode and of2 = $1::text) as j from tran1 where vchtype = $2::integer and "
            "mastercode1 = $3::integer and date <= $4::date order by date desc nulls last fetch "
            "first 1 rows with ties) as rpt order by date nulls first, j desc nulls last");
  // Inside an expression the select keeps its single column.
  EXPECT_EQ(Sqlite("select a from t where b in (select top 2 c as d from u order by e)"),
            "select a from t where b in (select rnt_helper_value from (select c as "
            "rnt_helper_value, rank() over (order by e) as rnt_helper_rank from u) where "
            "rnt_helper_rank <= 2 order by rnt_helper_rank)");
}

TEST(TranslateShapeTest, PostgresGetsLowerCaseNamesAndTypedMarkers) {
  EXPECT_EQ(Postgres("select LTrim(tt3.[No]) from Tran3 as tt3 where Date<=#05-04-2021# and "
                     "VchCode=-1400 and Value1>2.5 and Desc1='O''Brien'"),
            "select ltrim(tt3.\"no\") from tran3 as tt3 where date <= $1::date and vchcode = - "
            "$2::integer and value1 > $3::double precision and desc1 = $4::text");
  EXPECT_EQ(Sqlite("select LTrim(tt3.[No]) from Tran3 as tt3 where VchCode=-1400"),
            "select ltrim(tt3.[No]) from Tran3 as tt3 where VchCode = - ?1");
}

TEST(TranslateShapeTest, WorkTableStatementsTranslate) {
  const char create[] =
      "Create Table atShut ([SrNo] float,[RNo] varchar(40),[Uname] varchar(40),[Code1] "
      "float,[Days] float,[Qty] float,[Qty2] float,[Price] float,[PDate] varchar(40) )";
  EXPECT_TRUE(ShapeQuery(create).params.empty());
  EXPECT_TRUE(Sqlite(create).starts_with("Create Table atShut([SrNo] float, [RNo] varchar(40), "));
  EXPECT_TRUE(Postgres(create).starts_with(
      "create table atshut(\"srno\" double precision, \"rno\" varchar(40), "));
  EXPECT_EQ(Sqlite("Alter Table atshut Add [D1] float"), "Alter Table atshut Add [D1] float");
  EXPECT_EQ(Postgres("Alter Table atshut Add [D1] float"),
            "alter table atshut add column \"d1\" double precision");
  EXPECT_EQ(Postgres("Alter Table atshut Add [Dte1] varchar(15)"),
            "alter table atshut add column \"dte1\" varchar(15)");
  const QueryShape remove = ShapeQuery("Delete From atShut where UName='O''Brien'");
  EXPECT_EQ(remove.params, std::vector<Variant>{Variant("O'Brien")});
  EXPECT_EQ(TranslateShape(remove, Dialect::kSqlite), "Delete From atShut where UName = ?1");
}

TEST(TranslateShapeTest, ShapeWithWrongNumberOfValuesFails) {
  QueryShape shape = ShapeQuery("select a from t where b=1");
  shape.params.clear();
  EXPECT_THROW(TranslateShape(shape, Dialect::kSqlite), Error);
}

// An in-memory SQLite database that runs translated queries, binding their
// values as the SQLite backend stores them (dates as ISO text).
class SqliteDatabase {
 public:
  SqliteDatabase() {
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    db_.reset(db);
  }

  void Exec(const char* sql) {
    ASSERT_EQ(sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr), SQLITE_OK);
  }

  // Each row's columns, helper columns left out, joined with '|'.
  std::vector<std::string> Rows(std::string_view host_sql) {
    const QueryShape shape = ShapeQuery(host_sql);
    const std::string sql = TranslateShape(shape, Dialect::kSqlite);
    sqlite3_stmt* raw = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &raw, nullptr), SQLITE_OK) << sql;
    std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(raw, sqlite3_finalize);
    for (int i = 1; i <= static_cast<int>(shape.params.size()); ++i)
      Bind(raw, i, shape.params[i - 1]);
    std::vector<std::string> rows;
    while (raw != nullptr && sqlite3_step(raw) == SQLITE_ROW) {
      std::string row;
      for (int c = 0; c < sqlite3_column_count(raw); ++c) {
        if (std::string_view(sqlite3_column_name(raw, c)).starts_with(kHelperColumnPrefix))
          continue;
        if (!row.empty()) row += '|';
        row += reinterpret_cast<const char*>(sqlite3_column_text(raw, c));
      }
      rows.push_back(row);
    }
    return rows;
  }

 private:
  static void Bind(sqlite3_stmt* statement, int index, const Variant& value) {
    if (value.type() == VariantType::kInt32) {
      sqlite3_bind_int64(statement, index, value.int32());
    } else if (value.type() == VariantType::kDouble) {
      sqlite3_bind_double(statement, index, value.dbl());
    } else if (value.type() == VariantType::kDate) {
      char iso[16];
      std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", value.date().year(), value.date().month(),
                    value.date().day());
      sqlite3_bind_text(statement, index, iso, -1, SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_text(statement, index, value.text().c_str(), -1, SQLITE_TRANSIENT);
    }
  }

  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db_{nullptr, sqlite3_close};
};

TEST(TranslatedSqliteTest, TopWithOrderReturnsEveryTiedVoucher) {
  SqliteDatabase db;
  db.Exec(
      "create table Tran1(VchCode INTEGER, VchType INTEGER, Date DATE, VchNo TEXT, MasterCode1 "
      "INTEGER);"
      "create table VchOtherInfo(VchCode INTEGER, OF1 TEXT, OF2 TEXT);"
      "insert into Tran1 values (100, 9, '2021-03-01', 'R1', 12), (101, 9, '2021-03-01', 'R2', "
      "12), (99, 9, '2021-02-01', 'R0', 12), (102, 9, '2021-04-06', 'R3', 12), (103, 9, "
      "'2021-03-01', 'X', 13);"
      "insert into VchOtherInfo values (100, 'a', 'Rental'), (101, 'b', 'Rental'), (99, 'z', "
      "'Rental');");
  // Both vouchers of 1 March tie for the latest before 5 April; "j desc" orders them.
  EXPECT_EQ(db.Rows(kPreviousRentVoucher),
            (std::vector<std::string>{"2021-03-01|101|b", "2021-03-01|100|a"}));

  // Ranks count distinct rows: the two copies of 1 March are one row, so the
  // top two distinct dates reach back to February.
  EXPECT_EQ(db.Rows("select distinct top 2 Date from Tran1 where MasterCode1=12 and "
                    "Date<#05-04-2021# order by Date desc"),
            (std::vector<std::string>{"2021-03-01", "2021-02-01"}));
}

}  // namespace
}  // namespace rnt::db
