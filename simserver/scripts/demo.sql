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

insert publishers values ("0736", "New Age Books", "Boston", "MA", "USA")
insert publishers values ("0877", "Binnet & Hardley", "Washington", "DC", "USA")
insert publishers values ("1389", "Algodata Infosystems", "Berkeley", "CA", "USA")
insert publishers values ("1622", "Five Lakes Publishing", "Chicago", "IL", "USA")
insert publishers values ("1756", "Ramona Publishers", "Dallas", "TX", null)
go

insert authors values (1, "White", "Johnson", "408 496-7223", "10932 Bigge Rd.", "Menlo Park", "CA", "94025", 1)
insert authors values (2, "Green", "Marjorie", "415 986-7020", "309 63rd St. #411", "Oakland", "CA", "94618", 1)
insert authors values (3, "Carson", "Cheryl", "415 548-7723", "589 Darwin Ln.", "Berkeley", "CA", "94705", 1)
insert authors values (4, "O'Leary", "Michael", "408 286-2428", "22 Cleveland Av. #14", "San Jose", "CA", "95128", 1)
insert authors values (5, "Straight", "Dick", "415 834-2919", "5420 College Av.", "Oakland", "CA", "94609", 1)
insert authors values (6, "Smith", "Meander", null, "10 Mississippi Dr.", "Lawrence", "KS", "66044", 0)
insert authors values (7, "Bennet", "Abraham", "415 658-9932", "6223 Bateman St.", "Berkeley", "CA", "94705", 1)
insert authors values (8, "Dull", "Ann", "415 836-7128", "3410 Blonde St.", "Palo Alto", "CA", "94301", 1)
insert authors values (9, "Gringlesby", "Burt", "707 938-6445", "PO Box 792", "Covelo", "CA", "95428", 1)
insert authors values (10, "Locksley", "Chastity", "415 585-4620", "18 Broadway Av.", "San Francisco", "CA", "94130", 1)
insert authors values (11, "Greene", "Morningstar", "615 297-2723", "22 Graybar House Rd.", "Nashville", "TN", "37215", 0)
insert authors values (12, "Blotchet-Halls", "Reginald", "503 745-6402", "55 Hillsdale Bl.", "Corvallis", "OR", "97330", 1)
insert authors values (13, "Yokomoto", "Akiko", "415 935-4228", "3 Silver Ct.", "Walnut Creek", "CA", "94595", 1)
insert authors values (14, "del Castillo", "Innes", "615 996-8275", "2286 Cram Pl. #86", "Ann Arbor", "MI", "48105", 1)
insert authors values (15, "DeFrance", "Michel", "219 547-9982", "3 Balding Pl.", "Gary", "IN", "46403", 1)
go

insert titles values ("BU1032", "The Busy Executive's Database Guide", "business", "1389", 19.99, 5000, 10, 4095, "An overview of available database systems with emphasis on common business applications.", "Jun 12 1986")
insert titles values ("BU1111", "Cooking with Computers: Surreptitious Balance Sheets", "business", "1389", 11.95, 5000, 10, 3876, "Helpful hints on how to use your electronic resources to the best advantage.", "Jun 9 1988")
insert titles values ("BU2075", "You Can Combat Computer Stress!", "business", "0736", 2.99, 10125, 24, 18722, "The latest medical and psychological techniques for living with the electronic office.", "Jun 30 1985")
insert titles values ("MC2222", "Silicon Valley Gastronomic Treats", "mod_cook", "0877", 19.99, 0, 12, 2032, "Favorite recipes for quick, easy, and elegant meals.", "Jun 9 1989")
insert titles values ("MC3021", "The Gourmet Microwave", "mod_cook", "0877", 2.99, 15000, 24, 22246, "Traditional French gourmet recipes adapted for modern microwave cooking.", "Jun 18 1985")
insert titles values ("MC3026", "The Psychology of Computer Cooking", "UNDECIDED", "0877", null, null, null, null, null, "Oct 11 1991")
insert titles values ("PC1035", "But Is It User Friendly?", "popular_comp", "1389", 22.95, 7000, 16, 8780, "A survey of software for the naive user.", "Jun 30 1986")
insert titles values ("PC8888", "Secrets of Silicon Valley", "popular_comp", "1389", 20.00, 8000, 10, 4095, "Muckraking reporting on the world's largest computer hardware and software manufacturers.", "Jun 12 1987")
insert titles values ("PS1372", "Computer Phobic and Non-Phobic Individuals: Behavior Variations", "psychology", "0877", 21.59, 7000, 10, 375, "A must for the specialist.", "Oct 21 1990")
insert titles values ("PS2091", "Is Anger the Enemy?", "psychology", "0736", 10.95, 2275, 12, 2045, "Carefully researched study of the effects of strong emotions on the body.", "Jun 15 1989")
insert titles values ("PS7777", "Emotional Security: A New Algorithm", "psychology", "0736", 7.99, 4000, 10, 3336, "Protecting yourself and your loved ones from undue emotional stress.", "Jun 12 1988")
insert titles values ("TC3218", "Onions, Leeks, and Garlic: Cooking Secrets of the Mediterranean", "trad_cook", "0877", 20.95, 7000, 10, 375, "Profusely illustrated in color.", "Oct 21 1990")
insert titles values ("TC4203", "Fifty Years in Buckingham Palace Kitchens", "trad_cook", "0877", 11.95, 4000, 14, 15096, "More anecdotes from the Queen's favorite cook.", "Jun 12 1985")
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

insert stores values ("7066", "Barnum's", "Tustin", "CA", "Net 30")
insert stores values ("7067", "News & Brews", "Los Gatos", "CA", "Net 30")
insert stores values ("7131", "Doc-U-Mat: Quality Laundry and Books", "Remulade", "WA", "Net 60")
insert stores values ("8042", "Bookbeat", "Portland", "OR", "On invoice")
go

insert blurbs values ("BU1032", "A database guide for the busy executive: what to ask, what to buy and how to read the reports that come back.")
insert blurbs values ("PC8888", "Two reporters spent a year in the valley. This is what they found.")
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
    print "You cannot delete a title with sales."
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
