#include "engine/queries.h"

#include "core/text_util.h"

namespace rnt::engine::queries {
namespace {

// The two sums of a day that every day-total query ends with: issues (a1)
// and returns with the opening entries (a2).
constexpr std::string_view kDayTotalsByDateHead =
    "select  top 1     MasterCode1,MasterCode2,  (Select  sum(tt3.value1) as i from Tran3 as  tt3 "
    "where   tt3.date=tr3.date     and tt3.masterCode2=tr3.masterCode2  and "
    "tt3.masterCode1=tr3.masterCode1 and TranType in(5,3,0) and vchtype =4) as a1 ,(Select "
    "sum(t3.value1) as z from Tran3  as  t3 where t3.date=tr3.date  and "
    "t3.masterCode2=tr3.masterCode2  and t3.masterCode1=tr3.masterCode1    and ( (  vchtype =11  "
    "and TranType in(5,3,0) )";
constexpr std::string_view kOpeningsInReturns =
    " or ( vchtype=9 and vchcode=-1400 and TranType =0)";
constexpr std::string_view kReturnsEnd = ")   ) as a2 from tran3 as tr3  where";
constexpr std::string_view kDayTotalsTail = "#  and masterCode2=";
constexpr std::string_view kItemPiece = "  and  MasterCode1=";

std::string_view OpeningsInReturns(OpeningEntries openings) {
  return openings == OpeningEntries::kCounted ? kOpeningsInReturns : std::string_view();
}

// The opening entries of a list: every one, or all but those of one day.
std::string OpeningsListed(std::string_view left_out_on) {
  if (left_out_on.empty()) return "(VchType=9 and VchCode=-1400  )";
  return "(VchType=9 and VchCode=-1400 and Date<>#" + std::string(left_out_on) + "#  )";
}

template <typename... Pieces>
std::string Join(const Pieces&... pieces) {
  std::string text;
  text.reserve((std::string_view(pieces).size() + ...));
  (text.append(std::string_view(pieces)), ...);
  return text;
}

}  // namespace

std::string DeleteUserLines(std::string_view user_name) {
  return Join("Delete From atShut where UName='", DoubleQuotes(user_name), "'");
}

std::string PreviousRentVoucher(std::string_view party_code, std::string_view search_date_sql) {
  return Join(
      "select  *  from  (select top 1  date,vchcode,(select of1 from vchotherinfo where "
      "vchcode=tran1.vchcode and of2='Rental'  )as j  from Tran1 where vchtype=9 and mastercode1=",
      party_code, "  and Date<=#", search_date_sql,
      "#  Order  By date desc) as rpt   Order By date,j desc");
}

std::string RentRate(std::string_view party_code, std::string_view item_code) {
  return Join("Select Value From at_PartyPriceConfig where MasterCode1=", party_code,
              " And MasterCode2=", item_code);
}

std::string PricesOf(std::string_view master_code) {
  return Join("Select MasterCode2,Value,Value3 From at_PartyPriceConfig where MasterCode1=",
              master_code);
}

std::string ReplacementRate(std::string_view party_code, std::string_view item_code) {
  return Join("Select Value3 From at_PartyPriceConfig where MasterCode1=", party_code,
              " And MasterCode2=", item_code);
}

std::string DamageCharge(std::string_view party_code, std::string_view item_code) {
  return Join("Select Value3,Value2 From at_PartyPriceConfig where MasterCode1=", party_code,
              " And MasterCode2=", item_code);
}

std::string LostItems(std::string_view item_code, std::string_view party_code,
                      std::string_view on_date_sql) {
  return Join(
      "select itd.vchcode,itd.desc1,itd.desc2 as dsc2,value1,value2,MasterCode1,Cm1 from   "
      "itemdesc as  itd,Tran2 as t2 where itd.Desc1 in ('Lost','L')   and itd.vchcode=t2.vchcode  "
      "and t2.masterCode1=",
      item_code, " and t2.cm1=", party_code, "  and t2.Date=#", on_date_sql,
      "#   and itd.srno=t2.srno");
}

std::string DamagedItems(std::string_view item_code, std::string_view party_code,
                         std::string_view on_date_sql) {
  return Join(
      "select itd.vchcode,itd.desc1,itd.desc2 as dsc2,value1,value2,MasterCode1,Cm1 from   "
      "itemdesc as  itd,Tran2 as t2 where itd.Desc1 in ('Damage','D')   and "
      "itd.vchcode=t2.vchcode  and t2.masterCode1=",
      item_code, " and t2.cm1=", party_code, "  and t2.Date=#", on_date_sql,
      "#   and itd.srno=t2.srno");
}

std::string MovementList(MovementYear year, std::string_view party_code,
                         std::string_view closing_date_sql) {
  std::string_view head =
      year == MovementYear::kPrevious
          ? "select distinct   Date,MasterCode1,[No] as rno  from tran3 where RecType=3 and "
            "TranType in(5,3,0) and MasterCode2="
          : "select distinct   Date,MasterCode1,[No] as rno ,Refcode  from tran3 where RecType=3 "
            "and TranType in(5,3,0) and MasterCode2=";
  return Join(head, party_code, " and Date<=#", closing_date_sql,
              "#   and  ((VchType  in(4,11)   )  or (VchType=9 and VchCode=-14000))    Order By "
              "MasterCode1,Date");
}

std::string DayTotalsByDate(std::string_view date_text, std::string_view party_code,
                            std::string_view item_code, OpeningEntries openings) {
  return Join(kDayTotalsByDateHead, OpeningsInReturns(openings), kReturnsEnd, " date=#", date_text,
              kDayTotalsTail, party_code, kItemPiece, item_code);
}

std::string DayTotalsByReference(std::string_view reference_code, std::string_view date_sql,
                                 std::string_view party_code, std::string_view item_code) {
  return Join(
      "select  top 1     MasterCode1,MasterCode2,  (Select  sum(tt3.value1) as i from Tran3 as  "
      "tt3 where  tt3.RefCode=",
      reference_code,
      "   and    tt3.date=tr3.date     and tt3.masterCode2=tr3.masterCode2  and "
      "tt3.masterCode1=tr3.masterCode1 and TranType in(5,3,0) and vchtype =4) as a1 ,(Select "
      "sum(t3.value1) as z from Tran3  as  t3 where   t3.RefCode=",
      reference_code,
      "   and    t3.date=tr3.date  and t3.masterCode2=tr3.masterCode2  and "
      "t3.masterCode1=tr3.masterCode1    and ( (  vchtype =11  and TranType in(5,3,0) ) or ( "
      "vchtype=9 and vchcode=-1400 and TranType =0))   ) as a2 from tran3 as tr3  where  "
      "tr3.RefCode=",
      reference_code, "   and   date=#", date_sql, kDayTotalsTail, party_code, kItemPiece,
      item_code);
}

std::string VoucherItems(std::string_view voucher_code) {
  return Join(
      "select    *,(Select desc6 from ItemDesc where VchCode=rpt.vchcode and srno=rpt.s)as "
      "cls,(Select desc11 from ItemDesc where VchCode=rpt.vchcode and srno=rpt.s)as chno,(Select "
      "desc12 from ItemDesc where VchCode=rpt.vchcode and srno=rpt.s)as chdate   from    (select "
      "MasterCode1,max(itd.srno)as s,itd.Vchcode,VchNo,Date from itemdesc as itd, Tran2 as t2 "
      "where itd.vchcode=",
      voucher_code,
      " and t2.vchcode=itd.vchcode and itd.srno=t2.srno and t2.rectype in (7,2) Group by "
      "mastercode1,itd.VchCode,VchNo,Date) as Rpt");
}

std::string ItemMovements(std::string_view party_code, std::string_view item_code,
                          std::string_view walk_start_sql, std::string_view closing_date_sql,
                          std::string_view openings_left_out_on) {
  return Join(
      "select   *     from  (select distinct   Date,MasterCode1,[No] as rno  from tran3 where "
      "RecType=3 and TranType in(5,3,0) and MasterCode2=",
      party_code, "    and MasterCode1=", item_code, "   and ( (VchType  in(4,11)   )  or ",
      OpeningsListed(openings_left_out_on), "  )  ) as  rpt where  Date>#", walk_start_sql,
      "# and Date<=#", closing_date_sql, "#  Order By MasterCode1,Date");
}

std::string ChallanTotals(std::string_view challan_no, std::string_view date_text,
                          std::string_view party_code, std::string_view item_code,
                          OpeningEntries openings) {
  std::string quoted = DoubleQuotes(challan_no);
  return Join(
      "select  top 1     MasterCode1,MasterCode2,  (Select  sum(tt3.value1) as i from Tran3 as  "
      "tt3 where   tt3.date=tr3.date and tt3.[No]='",
      quoted,
      "'      and tt3.masterCode2=tr3.masterCode2  and tt3.masterCode1=tr3.masterCode1 and "
      "TranType in(5,3,0) and vchtype =4) as a1 ,(Select sum(t3.value1) as z from Tran3  as  t3 "
      "where t3.date=tr3.date  and t3.masterCode2=tr3.masterCode2 and t3.[No]='",
      quoted,
      "'    and t3.masterCode1=tr3.masterCode1    and ( (  vchtype =11  and TranType in(5,3,0) )",
      OpeningsInReturns(openings), kReturnsEnd, " date=#", date_text, kDayTotalsTail, party_code,
      kItemPiece, item_code);
}

std::string LookAheadTotals(std::string_view challan_no_trimmed, std::string_view date_text,
                            std::string_view party_code, std::string_view item_code,
                            OpeningEntries openings) {
  return Join(
      "select  top 1     MasterCode1,MasterCode2,  (Select  sum(tt3.value1) as i from Tran3 as  "
      "tt3 where   tt3.date=tr3.date     and tt3.masterCode2=tr3.masterCode2  and "
      "tt3.masterCode1=tr3.masterCode1 and TranType in(5,3,0) and vchtype =4  and "
      "LTrim(tt3.[No]) ='",
      DoubleQuotes(challan_no_trimmed),
      "' ) as a1 ,(Select sum(t3.value1) as z from Tran3  as  t3 where t3.date=tr3.date  and "
      "t3.masterCode2=tr3.masterCode2  and t3.masterCode1=tr3.masterCode1    and ( (  vchtype =11  "
      "and TranType in(5,3,0) )",
      OpeningsInReturns(openings), kReturnsEnd, " date=#", date_text, kDayTotalsTail, party_code,
      kItemPiece, item_code);
}

std::string UnlistedItemMovements(std::string_view party_code, std::string_view lower_bound_sql,
                                  std::string_view closing_date_sql,
                                  std::string_view voucher_code) {
  return Join(
      "select distinct   Date,MasterCode1,[No] as RNo  from tran3 where RecType=3 and TranType "
      "in(5,3,0) and MasterCode2=",
      party_code, "  and Date>#", lower_bound_sql, "# and Date<=#", closing_date_sql,
      "#  and MasterCode1 not  in (select    MasterCode1  from tran2 where VchCode=", voucher_code,
      " and RecType in (7,2))     and       ((VchType  in(4,11)   )  or (VchType=9 and "
      "VchCode=-1400)  )     Order By MasterCode1,Date");
}

std::string UnlistedItemMovementsExcluding(std::string_view party_code,
                                           std::string_view lower_bound_sql,
                                           std::string_view closing_date_sql,
                                           const std::vector<std::string>& item_codes,
                                           std::string_view openings_left_out_on) {
  std::string excluded;
  for (const std::string& code : item_codes) excluded += (excluded.empty() ? "" : ",") + code;
  return Join(
      "select distinct   Date,MasterCode1,[No] as RNo  from tran3 where RecType=3 and TranType "
      "in(5,3,0) and MasterCode2=",
      party_code, "  and Date>#", lower_bound_sql, "# and Date<=#", closing_date_sql, "#",
      excluded.empty() ? "" : "  and MasterCode1 not  in (" + excluded + ")",
      "     and       ((VchType  in(4,11)   )  or ",
      openings_left_out_on.empty() ? std::string("(VchType=9 and VchCode=-1400)")
                                   : OpeningsListed(openings_left_out_on),
      "  )     Order By MasterCode1,Date");
}

}  // namespace rnt::engine::queries
