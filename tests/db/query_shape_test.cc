#include "db/query_shape.h"

#include "support/company_file.h"

namespace rnt::db {
namespace {

using rnt::testing::RowTexts;
using ::testing::HasSubstr;
using ::testing::Not;
using Texts = std::vector<std::string>;

const char kPreviousRentVoucher[] =
    "select  *  from  (select top 1  date,vchcode,(select of1 from vchotherinfo where "
    "vchcode=tran1.vchcode and of2='Rental'  )as j  from Tran1 where vchtype=9 and mastercode1=12  "
    "and Date<=#05-Apr-2021#  Order  By date desc) as rpt   Order By date,j desc";

std::string Sqlite(std::string_view host_sql) {
  return TranslateShape(ShapeQuery(host_sql), Dialect::kSqlite);
}
std::string Postgres(std::string_view host_sql) {
  return TranslateShape(ShapeQuery(host_sql), Dialect::kPostgres);
}

TEST(ShapeQueryTest, QueriesThatDifferOnlyInValuesShareOneKey) {
  const auto query = [](const std::string& top, const std::string& date, const std::string& code,
                        const std::string& markers) {
    return "select top " + top + " a from t where d=#" + date + "# and p=" + code +
           " and v=-1400 and m in (" + markers + ")";
  };
  const QueryShape short_date = ShapeQuery(query("1", "05-04-2021", "12", "'Lost','L'"));
  const QueryShape named_month = ShapeQuery(query("1", "31-Mar-2022", "140", "'D','Damage'"));
  EXPECT_EQ(short_date.key, named_month.key);
  EXPECT_NE(short_date.key.find("v = - ? and"), std::string::npos);  // the minus stays in the key
  EXPECT_EQ(short_date.params[0], Variant(Date::FromYmd(2021, 4, 5)));
  EXPECT_EQ(named_month.params[0], Variant(Date::FromYmd(2022, 3, 31)));
  EXPECT_EQ(short_date.params[2], Variant(int32_t{1400}));
  EXPECT_NE(ShapeQuery(query("2", "05-04-2021", "12", "'Lost','L'")).key, short_date.key);
  EXPECT_NE(ShapeQuery(query("1", "05-04-2021", "12", "'Lost'")).key, short_date.key);
}

TEST(ShapeQueryTest, LiteralsBecomeTypedValuesInTheirOrder) {
  const QueryShape voucher = ShapeQuery(kPreviousRentVoucher);
  EXPECT_NE(voucher.key.find("select top 1 date"), std::string::npos) << voucher.key;
  EXPECT_EQ(voucher.params,
            (std::vector<Variant>{"Rental", int32_t{9}, int32_t{12}, Date::FromYmd(2021, 4, 5)}));
  EXPECT_EQ(
      ShapeQuery("select a from t where a=2147483647 or a=2147483648 or a=2.5 or a=1e3").params,
      (std::vector<Variant>{int32_t{2147483647}, 2147483648.0, 2.5, 1000.0}));
  const QueryShape untouched =
      ShapeQuery("select a from t where b='top 5 #x# [y] ''z''' and c=\"q\"\"r\"");
  EXPECT_EQ(untouched.key, "select a from t where b = ? and c = ?");
  EXPECT_EQ(untouched.params, (std::vector<Variant>{"top 5 #x# [y] 'z'", "q\"r"}));
}

TEST(ShapeQueryTest, BadLiteralsFailNamingThePiece) {
  const std::pair<const char*, const char*> cases[] = {
      {"d=##", "##"},       {"d=#31-02-2021#", "#31-02-2021#"}, {"d=#soon#", "#soon#"},
      {"b='open", "'open"}, {"d=#05-04-2021", "#05-04-2021"},   {"b!=1", "'!'"}};
  for (const auto& [condition, piece] : cases) {
    // Named again: clang 14 does not let a lambda capture a structured binding.
    const std::string query = "select a from t where " + std::string(condition);
    EXPECT_ERROR(ShapeQuery(query), piece) << query;
  }
  EXPECT_ERROR(ShapeQuery("select [No from t"), "[No");
}

// How the server orders and limits, and makes and completes the work table,
// is seen on the server itself (the rent run's queries, the work table).
TEST(TranslateShapeTest, TopLimitsItsOwnSelectAndPostgresGetsLowerCaseNamesAndTypedMarkers) {
  EXPECT_EQ(Sqlite("select x from (select top 3 a from t where b=1) as s"),
            "select x from (select a from t where b = ?1 limit 3) as s");
  EXPECT_EQ(Postgres("select distinct top 3 a from t where b=1"),
            "select distinct a from t where b = $1::integer limit 3");
  EXPECT_EQ(Postgres("select LTrim(tt3.[No]) from Tran3 as tt3 where Date<=#05-04-2021# and "
                     "VchCode=-1400 and Value1>2.5 and Desc1='O''Brien'"),
            "select ltrim(tt3.\"no\") from tran3 as tt3 where date <= $1::date and vchcode = - "
            "$2::integer and value1 > $3::double precision and desc1 = $4::text");
}

// Found by fuzzing: a text of a hundred thousand nested parentheses overflowed
// the translator's stack, and thousands of parenthesized items in one list
// took time growing with their square.
TEST(TranslateShapeTest, RefusesDeepNestingAndTranslatesLongListsQuickly) {
  const std::string deep = "select " + std::string(100000, '(') + "1" + std::string(100000, ')');
  EXPECT_ERROR(Sqlite(deep), "nested deeper than 256");
  const std::string nested = "select " + std::string(200, '(') + "1" + std::string(200, ')');
  EXPECT_EQ(Postgres(nested).size(), nested.size() + 10);  // "$1::integer" for "1"

  std::string list = "select a from t where b in (";
  for (int i = 0; i < 50000; ++i) list += i == 0 ? "(1)" : ",(1)";
  const std::string translated = Sqlite(list + ")");
  EXPECT_TRUE(translated.starts_with("select a from t where b in ((?1), (?2), (?3)"));
  EXPECT_TRUE(translated.ends_with(", (?50000))"));
  // After a comma a parenthesized select keeps the place of its clause.
  EXPECT_EQ(Sqlite("select a, (select top 1 b from u order by b) from t, (select top 1 c from v "
                   "order by c) as w"),
            "select a, (select rnt_helper_value from (select b as rnt_helper_value, rank() over "
            "(order by b) as rnt_helper_rank from u) where rnt_helper_rank <= 1 order by "
            "rnt_helper_rank) from t, (select * from (select c, rank() over (order by c) as "
            "rnt_helper_rank from v) where rnt_helper_rank <= 1 order by rnt_helper_rank) as w");
}

// On SQLite, a top with an order returns every tied row. A list of values
// after "in" is read as a chain of equalities, which would otherwise build a
// temporary index every time the statement runs; the rows found stay those of
// the list, null codes and "not in" included, and anything that is not a
// plain column and a list of values is left as written.
TEST(TranslatedSqliteTest, TopKeepsTiesAndInListsOfValuesAreReadAsEqualitiesWithTheSameRows) {
  EXPECT_THAT(Sqlite("select a from Tran3 as t3 where t3.TranType in(5,3,0) and b=1"),
              HasSubstr("where (t3.TranType = ?1 or t3.TranType = ?2 or t3.TranType = ?3) and"));
  EXPECT_THAT(Sqlite("select a from t where [Desc1] not in ('Lost','L')"),
              HasSubstr("where (not ([Desc1] = ?1 or [Desc1] = ?2))"));
  for (const char* kept :
       {"select a from t where b + c in (1,2)", "select a from t where c in (select d from u)",
        "select a from t where c in (1 2)", "select a from t where f(c) in (1,2)",
        "select a from t where c between 1 and d in (2,3)"}) {
    EXPECT_THAT(Sqlite(kept), Not(HasSubstr(" = ?"))) << kept;
  }
  EXPECT_THAT(Postgres("select a from t where c in (1,2)"), HasSubstr("in ($1::integer"));

  testing::CompanyFile company;
  company.Execute(
      "insert into Tran1 (VchCode, VchType, Date, MasterCode1) values (100, 9, #01-03-2021#, 12), "
      "(101, 9, #01-03-2021#, 12), (99, 9, #01-02-2021#, 12), (102, 9, #06-04-2021#, 12), "
      "(103, 9, #01-03-2021#, 13), (1, 4, #01-03-2021#, 14), (2, 11, #01-03-2021#, 14), "
      "(3, 9, #01-03-2021#, 14), (4, 4, #01-03-2021#, null)");
  const auto rows = [&](std::string_view sql, std::string_view column) {
    return RowTexts(company.connection(), sql, {column});
  };
  // Ranks count distinct rows: the two copies of 1 March are one row, so the
  // top two distinct dates reach back to February.
  EXPECT_EQ(rows("select distinct top 2 Date from Tran1 where MasterCode1=12 and "
                 "Date<#05-04-2021# order by Date desc",
                 "Date"),
            (Texts{"01-03-2021", "01-02-2021"}));
  // Inside an expression the select keeps its single column, and its ties.
  EXPECT_EQ(rows("select VchCode from Tran1 where VchCode in (select top 2 VchCode as v from "
                 "Tran1 where MasterCode1=12 order by Date) order by VchCode",
                 "VchCode"),
            (Texts{"99", "100", "101"}));
  EXPECT_EQ(rows("select VchCode from Tran1 where VchType in(4,11) order by VchCode", "VchCode"),
            (Texts{"1", "2", "4"}));
  EXPECT_EQ(rows("select VchCode from Tran1 where MasterCode1 not in (12, 13, 14) or VchCode=3",
                 "VchCode"),
            Texts{"3"});
}

}  // namespace
}  // namespace rnt::db
