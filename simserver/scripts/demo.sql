-- The demo database: a small publishing house, run into an empty database.
-- It has a bit of everything a DBA browses: tables of many types, a user type, indexes (one on
-- its own segment), views, procedures, triggers, a rule, a default, users, a group and grants.

sp_addtype phone_t, "varchar(20)", "null"
go
sp_addtype id_t, "numeric(8,0)", "not null"
go
declare @db varchar(30)
select @db = db_name()
execute sp_addsegment fastseg, @db, master
go

create table publishers (
    pub_id char(4) not null,
    pub_name varchar(40) null,
    city varchar(20) null,
    state char(2) null,
    country varchar(30) null
)
go
create table authors (
    au_id int not null,
    au_lname varchar(40) not null,
    au_fname varchar(20) not null,
    phone phone_t,
    address varchar(40) null,
    city varchar(20) null,
    state char(2) null,
    zip char(5) null,
    contract bit not null
)
go
create table titles (
    title_id varchar(6) not null,
    title varchar(80) not null,
    type char(12) not null,
    pub_id char(4) null,
    price money null,
    advance money null,
    royalty int null,
    ytd_sales int null,
    notes varchar(200) null,
    pubdate datetime not null
)
go
create table titleauthor (
    au_id int not null,
    title_id varchar(6) not null,
    au_ord tinyint null,
    royaltyper int null
)
go
create table stores (
    stor_id char(4) not null,
    stor_name varchar(40) null,
    city varchar(20) null,
    state char(2) null,
    payterms varchar(12) null
)
go
create table sales (
    ord_num id_t,
    stor_id char(4) not null,
    title_id varchar(6) not null,
    ord_date datetime not null,
    qty smallint not null,
    discount numeric(5,2) null,
    paid smallmoney null,
    rate real null,
    weight float null
)
go
create table blurbs (
    title_id varchar(6) not null,
    copy text null
)
go

create unique clustered index pubind on publishers (pub_id)
go
create unique clustered index auidind on authors (au_id)
go
create nonclustered index aunmind on authors (au_lname, au_fname)
go
create unique clustered index titleidind on titles (title_id)
go
create nonclustered index titleind on titles (title) on fastseg
go
create unique clustered index taind on titleauthor (au_id, title_id)
go
create clustered index salesind on sales (title_id, ord_num)
go
create nonclustered index salesdateind on sales (ord_date)
go

create rule pub_idrule
as @pub_id in ("1389", "0736", "0877", "1622", "1756") or @pub_id like "99[0-9][0-9]"
go
execute sp_bindrule pub_idrule, "publishers.pub_id"
go
create default typedflt as "UNDECIDED"
go
execute sp_bindefault typedflt, "titles.type"
go

insert publishers values ("0736", "Thistledown Books", "Harlow Falls", "NH", "USA")
insert publishers values ("0877", "Marrow & Quince", "Cedar Hollow", "KY", "USA")
insert publishers values ("1389", "Brightwire Technical Press", "Loomis Ridge", "OR", "USA")
insert publishers values ("1622", "Sevenfold Lantern Publishing", "Ostrander Bay", "MN", "USA")
insert publishers values ("1756", "Parlow House", "Mesquite Flats", "NM", null)
go

insert authors values (1, "Ashdown", "Perrin", "503 555-0117", "4417 Larkspur Row", "Millhaven", "OR", "97128", 1)
insert authors values (2, "Vantongeren", "Maud", "541 555-0162", "88 Quarry Ln. #3", "Hollis Bend", "OR", "97402", 1)
insert authors values (3, "Okafor-Reyes", "Delphine", "541 555-0148", "1206 Tamarack Ct.", "Westmarch", "OR", "97331", 1)
insert authors values (4, "O'Dwyer", "Tamsin", "503 555-0190", "37 Heron Way #12", "Caldera Springs", "OR", "97759", 1)
insert authors values (5, "Marchetti-Lund", "Sabine", "541 555-0133", "702 Old Mill Rd.", "Hollis Bend", "OR", "97404", 1)
insert authors values (6, "Fenwright", "Cassius", null, "9 Sorghum Trail", "Prairie Hollow", "NE", "68831", 0)
insert authors values (7, "Drummelow", "Ingrid", "541 555-0185", "61 Pinecone Pl.", "Westmarch", "OR", "97331", 1)
insert authors values (8, "Whitcombe", "Lorna", "503 555-0124", "2950 Bellflower Av.", "Fernlea", "OR", "97229", 1)
insert authors values (9, "Kettleby", "Osric", "541 555-0109", "PO Box 318", "Stillwater Gap", "OR", "97635", 1)
insert authors values (10, "Nakashima-Frost", "Wren", "503 555-0171", "15 Copperbeech Dr.", "Juniper Mesa", "OR", "97015", 1)
insert authors values (11, "Threlkeld", "Juniper", "502 555-0156", "410 Tobacco Barn Rd.", "Bellwether", "KY", "40422", 0)
insert authors values (12, "Ravensworth-Pike", "Anselm", "360 555-0143", "77 Gull Point Bl.", "Orchard Point", "WA", "98366", 1)
insert authors values (13, "Dabrowska", "Petra", "503 555-0198", "5 Linden Sq.", "Lindenport", "OR", "97062", 1)
insert authors values (14, "van der Steeg", "Corliss", "715 555-0127", "1880 Ice House Pl. #7", "Greywater", "WI", "54812", 1)
insert authors values (15, "DeVreese", "Odile", "208 555-0164", "4 Kestrel Ct.", "Kestrel Falls", "ID", "83340", 1)
go

insert titles values ("BU1032", "Framing a Small House, Start to Finish", "building", "1389", 24.50, 6000, 12, 3120, "Step-by-step carpentry for owner-builders, from the sill plate to the ridge beam.", "Mar 3 1987")
insert titles values ("BU1111", "Roofs That Last: Shingle, Slate and Sheet Metal", "building", "1389", 16.75, 4500, 10, 2875, "How to choose, lay and repair the common roof coverings.", "Apr 18 1989")
insert titles values ("BU2075", "The Weekend Deck Builder", "building", "0736", 8.95, 9000, 20, 16410, "Plans and cutting lists for six decks that anyone with a saw can finish in two weekends.", "Aug 7 1986")
insert titles values ("MC2222", "Hand-Forged Kitchen Hardware", "metalcraft", "0877", 18.25, 0, 11, 1985, "Hooks, hinges and pot racks from a backyard forge.", "May 22 1990")
insert titles values ("MC3021", "Tinsmithing for Beginners", "metalcraft", "0877", 3.50, 12500, 22, 20517, "Cutting, seaming and soldering sheet tin with a minimum of tools.", "Sep 9 1985")
insert titles values ("MC3026", "Bronze Casting in a Garden Shed", "UNDECIDED", "0877", null, null, null, null, null, "Nov 4 1992")
insert titles values ("PC1035", "Ferns Indoors and Out", "plant_care", "1389", 21.00, 6500, 14, 7640, "A grower's guide to forty ferns.", "Jul 14 1987")
insert titles values ("PC8888", "The Quiet Life of Houseplants", "plant_care", "1389", 19.50, 7500, 10, 3980, "What houseplants need from light, water and soil, and why so many of them fail in winter.", "Feb 26 1988")
insert titles values ("PS1372", "Tides, Moons and the Patience of Rocks: Slow Science for Curious Readers", "pop_science", "0877", 23.40, 6000, 10, 412, "Geology and astronomy without the equations.", "Nov 30 1991")
insert titles values ("PS2091", "Why Bread Rises", "pop_science", "0736", 12.25, 2500, 12, 1930, "The chemistry behind yeast, baking soda and the browning of a crust.", "Mar 19 1990")
insert titles values ("PS7777", "Small Numbers, Large Worlds", "pop_science", "0736", 9.50, 3500, 10, 3410, "Estimation for everyday questions: how many, how far and how likely.", "Oct 2 1989")
insert titles values ("TC3218", "A Year of Green Tea: Picking, Rolling and Steeping Through the Seasons", "tea_culture", "0877", 22.75, 6500, 10, 398, "Illustrated with hand-coloured plates.", "Dec 5 1991")
insert titles values ("TC4203", "The Teahouse Ledger", "tea_culture", "0877", 13.50, 3800, 14, 14205, "Recollections of forty years behind a harbourside tea counter.", "Aug 28 1986")
go

insert titleauthor values (1, "PS3333", 1, 100)
insert titleauthor values (2, "BU1032", 2, 40)
insert titleauthor values (2, "BU2075", 1, 100)
insert titleauthor values (3, "PC1035", 1, 100)
insert titleauthor values (4, "BU1111", 2, 40)
insert titleauthor values (4, "TC4203", 1, 100)
insert titleauthor values (5, "BU7832", 1, 100)
insert titleauthor values (7, "BU1032", 1, 60)
insert titleauthor values (8, "PC8888", 1, 50)
insert titleauthor values (9, "TC3218", 1, 100)
insert titleauthor values (10, "PS7777", 1, 100)
insert titleauthor values (12, "MC3021", 1, 75)
insert titleauthor values (13, "PC8888", 2, 50)
insert titleauthor values (14, "MC2222", 1, 100)
insert titleauthor values (15, "MC3021", 2, 25)
go

insert stores values ("7066", "Larkin's Corner Books", "Dunmore Heights", "OR", "Net 45")
insert stores values ("7067", "Pages & Pastries", "Glen Alder", "WA", "Net 45")
insert stores values ("7131", "Rivet Hall: Hardware, Seeds and Books", "Saltmarsh", "ID", "Net 90")
insert stores values ("8042", "Foxglove Readers", "Copper Landing", "OR", "Prepaid")
go

insert blurbs values ("BU1032", "Everything an owner-builder needs between the foundation and the roof: tools, lumber lists and the order of the work.")
insert blurbs values ("PC8888", "Most houseplants are killed by kindness. This book explains what they want instead.")
insert blurbs values ("MC3026", null)
go

-- 4096 sales: eight seed orders, doubled nine times with shifted numbers and dates.
insert sales values (1, "7066", "BU1032", "Sep 13 1993 10:00AM", 5, 0.00, 99.95, 1.5, 0.25)
insert sales values (2, "7067", "PS2091", "Sep 14 1993 2:30PM", 10, 2.50, 109.50, 2.25, 1.5)
insert sales values (3, "7131", "MC3021", "Sep 14 1994", 25, 5.00, 74.75, 0.5, 3.125)
insert sales values (4, "8042", "PC8888", "May 24 1993 11:15AM", 15, null, 300.00, null, null)
insert sales values (5, "7066", "TC4203", "Jun 15 1992", 20, 10.00, 239.00, 1.0, 2.0)
insert sales values (6, "7067", "BU2075", "Dec 12 1993 9:45PM", 35, 0.00, 104.65, 3.75, 0.75)
insert sales values (7, "7131", "PS7777", "Jan 2 1994", 40, 7.25, 319.60, 2.0, 4.5)
insert sales values (8, "8042", "BU1111", "Mar 11 1993 8:00AM", 3, 1.00, 35.85, 0.25, 0.125)
go
declare @round int, @top numeric(8,0)
select @round = 0
while @round < 9
begin
    select @top = max(ord_num) from sales
    insert sales (ord_num, stor_id, title_id, ord_date, qty, discount, paid, rate, weight)
    select ord_num + @top, stor_id, title_id, dateadd(day, @round * 7 + 1, ord_date),
        qty % 50 + @round + 1, discount, paid, rate, weight
    from sales
    select @round = @round + 1
end
go

create view titleview
as select title, au_ord, au_lname, price, ytd_sales, pub_id
from authors, titles, titleauthor
where authors.au_id = titleauthor.au_id and titles.title_id = titleauthor.title_id
go
create view author_names (id, full_name, city)
as select au_id, au_fname + " " + au_lname, city from authors
go
create view store_totals
as select s.stor_id, st.stor_name, orders = count(*), units = sum(s.qty)
from sales s, stores st
where s.stor_id = st.stor_id
group by s.stor_id, st.stor_name
go

create procedure title_sales @title_id varchar(6), @units int output, @orders int output
as
select @units = sum(qty), @orders = count(*) from sales where title_id = @title_id
if @orders = 0
    return 1
return 0
go
create procedure byroyalty @percentage int = 100
as
select au_id from titleauthor where royaltyper = @percentage order by au_id
go
create procedure author_report @state char(2) = null, @with_titles bit = 1
as
/* A report of authors, optionally of one state, with the titles each wrote and how well
   those titles sold. It is longer than one row of syscomments on purpose. */
declare @count int
select @count = count(*) from authors where @state is null or state = @state
if @count = 0
begin
    print "No authors in state %1!.", @state
    return 1
end
select au_id, name = au_fname + " " + au_lname, city, state
from authors
where @state is null or state = @state
order by au_lname, au_fname
if @with_titles = 1
    select t.title_id, t.title, a.au_lname, t.ytd_sales
    from titles t, titleauthor ta, authors a
    where t.title_id = ta.title_id and ta.au_id = a.au_id
        and (@state is null or a.state = @state)
    order by t.ytd_sales desc
return 0
go

create trigger deltitle on titles for delete
as
if (select count(*) from deleted, sales where sales.title_id = deleted.title_id) > 0
begin
    rollback transaction
    print "Titles with recorded sales stay; delete their sales first."
end
go
create trigger salestrig on sales for insert, update
as
if exists (select 1 from inserted where qty <= 0)
begin
    rollback transaction
    raiserror 20010 "Sales quantities must be positive."
end
go

execute sp_addgroup readers
go
execute sp_adduser alice, alice, readers
go
execute sp_adduser bob
go
grant select on titles to readers
grant select on authors to readers
grant select on titleview to public
grant execute on title_sales to public
grant all on sales to alice
grant insert, update on stores to bob
grant create table to alice
go
